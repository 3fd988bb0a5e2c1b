// SPDX-License-Identifier: GPL-3.0-or-later
// A blocking device-protocol client that speaks frame by frame, for
// testing the recorder's side of the protocol directly.
#pragma once

#include "proto/FrameDecoder.h"
#include "proto/Message.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nettest {

class RawDeviceClient {
public:
    explicit RawDeviceClient(std::uint16_t port);
    ~RawDeviceClient();

    bool connected() const { return m_fd >= 0; }
    bool sendBytes(const std::string& bytes);
    bool sendMessage(const velk::proto::Message& message);
    // The next JSON message (heartbeats skipped); nullopt on timeout or close.
    std::optional<velk::proto::Message> readMessage(int timeoutMs = 3000);
    // True when the recorder closes the connection within timeoutMs
    // (anything it sends meanwhile is read and dropped).
    bool closedWithin(int timeoutMs);

    // Hello plus login; returns the login response code, or -1 when the
    // exchange failed.
    int login(const std::string& user, const std::string& password);

private:
    int m_fd = -1;
    velk::proto::FrameDecoder m_decoder{velk::proto::kMediaFrameLimitBytes};
};

}  // namespace nettest
