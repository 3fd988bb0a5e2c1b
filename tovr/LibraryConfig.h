// SPDX-License-Identifier: GPL-3.0-or-later
// Timeouts of the library, with environment overrides (whole milliseconds,
// 10..60000) read when the library starts:
//   TOVR_CONNECT_TIMEOUT_MS      resolving and connecting          (3000)
//   TOVR_REQUEST_TIMEOUT_MS      one exchange with the recorder    (5000)
//   TOVR_HEARTBEAT_INTERVAL_MS   heartbeats sent while connected   (1000)
//   TOVR_HEARTBEAT_TIMEOUT_MS    silence that counts as a loss     (4000)
//   TOVR_RECONNECT_DELAY_MS      first wait before a reconnect     (500)
//   TOVR_STREAM_OFFLINE_MS       a lost stream that is not back    (5000)
//                                within this reports the device offline
#pragma once

#include <chrono>

namespace velk::tovr {

struct LibraryConfig {
    std::chrono::milliseconds connectTimeout{3000};
    std::chrono::milliseconds requestTimeout{5000};
    std::chrono::milliseconds heartbeatInterval{1000};
    std::chrono::milliseconds heartbeatTimeout{4000};
    std::chrono::milliseconds reconnectDelay{500};
    // Kept short: a recorder back from a restart should see its streams back
    // before they count as offline.
    std::chrono::milliseconds reconnectDelayMax{2000};
    std::chrono::milliseconds streamOfflineTimeout{5000};
    // A lost stream tries again after this, then twice as long each time.
    std::chrono::milliseconds streamReconnectDelay{100};
    std::chrono::milliseconds streamReconnectDelayMax{1000};

    static LibraryConfig fromEnvironment();
};

}  // namespace velk::tovr
