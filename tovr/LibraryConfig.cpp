// SPDX-License-Identifier: GPL-3.0-or-later
#include "LibraryConfig.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace velk::tovr {

namespace {

std::chrono::milliseconds fromEnv(const char* name, std::chrono::milliseconds fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 10 || value > 60000)
        return fallback;
    return std::chrono::milliseconds(value);
}

}  // namespace

LibraryConfig LibraryConfig::fromEnvironment()
{
    LibraryConfig c;
    c.connectTimeout = fromEnv("TOVR_CONNECT_TIMEOUT_MS", c.connectTimeout);
    c.requestTimeout = fromEnv("TOVR_REQUEST_TIMEOUT_MS", c.requestTimeout);
    c.heartbeatInterval = fromEnv("TOVR_HEARTBEAT_INTERVAL_MS", c.heartbeatInterval);
    c.heartbeatTimeout = fromEnv("TOVR_HEARTBEAT_TIMEOUT_MS", c.heartbeatTimeout);
    c.reconnectDelay = fromEnv("TOVR_RECONNECT_DELAY_MS", c.reconnectDelay);
    c.streamOfflineTimeout = fromEnv("TOVR_STREAM_OFFLINE_MS", c.streamOfflineTimeout);
    // A loss needs at least two missed heartbeats, or a busy moment would
    // count as one.
    c.heartbeatTimeout = std::max(c.heartbeatTimeout, 2 * c.heartbeatInterval);
    c.reconnectDelayMax = std::max(c.reconnectDelayMax, c.reconnectDelay);
    return c;
}

}  // namespace velk::tovr
