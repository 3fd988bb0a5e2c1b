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
    // The next JSON message (heartbeats and media skipped); nullopt on
    // timeout or close.
    std::optional<velk::proto::Message> readMessage(int timeoutMs = 3000);
    // The next frame of any type but heartbeats; nullopt on timeout or close.
    std::optional<velk::proto::Frame> readFrame(int timeoutMs = 3000);
    // True when the recorder closes the connection within timeoutMs
    // (anything it sends meanwhile is read and dropped).
    bool closedWithin(int timeoutMs);

    // Hello plus login; returns the login response code, or -1 when the
    // exchange failed. The session token is kept on success.
    int login(const std::string& user, const std::string& password);
    const std::string& sessionToken() const { return m_sessionToken; }

    // A media connection: hello with the role media, then openStream; the
    // response (nullopt when the exchange failed).
    std::optional<velk::proto::Message> openStream(const std::string& session, std::uint32_t channel,
                                                   std::uint32_t streamType);

private:
    int m_fd = -1;
    std::string m_sessionToken;
    velk::proto::FrameDecoder m_decoder{velk::proto::kMediaFrameLimitBytes};
};

}  // namespace nettest
