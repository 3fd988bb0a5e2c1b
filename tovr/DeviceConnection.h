// SPDX-License-Identifier: GPL-3.0-or-later
// One logged-in recorder behind a device handle: its control connection,
// its device callback, and reconnecting in the background. When the
// control connection is lost (broken, or the recorder's heartbeats stop)
// the device callback gets kind 8 and the library logs in again with the
// stored credentials, waiting longer between attempts (up to the maximum
// delay); when it is back, kind 8 again. The handle stays valid throughout,
// until LOGOUT or UNINIT. The streams opened on the device listen to it:
// they present its session token on their media connections and follow its
// losses and returns.
#pragma once

#include "CallbackThread.h"
#include "Completion.h"
#include "DeviceListener.h"
#include "HandleObject.h"
#include "LibraryConfig.h"
#include "LoginAttempt.h"
#include "LoginCredentials.h"
#include "MessageConnection.h"

#include "TOVR.h"

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velk::tovr {

struct CommandOutcome {
    int result = 0;
    std::uint32_t detail = 0;
};

class DeviceConnection : public HandleObject, public std::enable_shared_from_this<DeviceConnection> {
public:
    enum class State { Idle, LoggingIn, Online, Reconnecting, Closed };

    DeviceConnection(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<CallbackThread> callbacks,
                     LoginCredentials credentials, TOVR_DeviceCallback callback, std::uint32_t userData);

    // Logs in and waits for the outcome (bounded by the connect and request
    // timeouts). Caller's thread, never the I/O thread.
    CommandOutcome login();
    // Tells the recorder, closes the connection and stops reconnecting.
    // 0 when the recorder confirmed; 6 when the connection was down or broke;
    // 8 when the recorder did not answer; 7 when it refused. Either way the
    // device is closed afterwards. Caller's thread, never the I/O thread.
    CommandOutcome logout();

    // Closes without telling the recorder. Any thread but the I/O thread.
    void shutdown() override;

    State state() const { return m_state.load(); }
    const LoginCredentials& credentials() const { return m_credentials; }

    // The following run on the I/O thread only.
    // Logged in now, with a session token for media connections.
    bool online() const { return m_connection && m_connection->isOpen() && !m_session.empty(); }
    const std::string& session() const { return m_session; }
    // False when the device is closed (the listener is then not added).
    bool addListener(std::weak_ptr<DeviceListener> listener);
    void removeListener(const DeviceListener* listener);
    // REQUESTIFRAME: passes the request to every listening stream.
    void requestKeyFrames(std::uint32_t channelMask, std::uint32_t streamType);

private:
    // All of the following run on the I/O thread.
    void beginAttempt(bool initial);
    void onAttemptDone(bool initial, LoginOutcome outcome);
    void adopt(std::shared_ptr<MessageConnection> connection, std::string session);
    void forEachListener(const std::function<void(DeviceListener&)>& action);
    // Once: the listeners hear that the device closed, and are forgotten.
    void tellListenersClosed();
    void onLost();
    void scheduleReconnect();
    void onNotify(const proto::Message& notification);
    void beginLogout();
    void closeOnIo();
    void notifyDevice(std::uint32_t kind, std::uint32_t value1 = 0, std::uint32_t value2 = 0, std::uint32_t value3 = 0);

    asio::io_context& m_io;
    const LibraryConfig m_config;
    const std::shared_ptr<CallbackThread> m_callbacks;
    const std::shared_ptr<CallbackGate> m_gate = std::make_shared<CallbackGate>();
    const LoginCredentials m_credentials;
    const TOVR_DeviceCallback m_callback;
    const std::uint32_t m_userData;

    std::atomic<State> m_state{State::Idle};
    // Outcomes handed to the waiting caller of login() / logout().
    const std::shared_ptr<Completion<CommandOutcome>> m_loginDone = std::make_shared<Completion<CommandOutcome>>();
    const std::shared_ptr<Completion<CommandOutcome>> m_logoutDone = std::make_shared<Completion<CommandOutcome>>();

    // I/O thread only:
    std::shared_ptr<MessageConnection> m_connection;
    std::shared_ptr<LoginAttempt> m_attempt;
    asio::steady_timer m_reconnectTimer;
    std::chrono::milliseconds m_reconnectDelay;
    bool m_closing = false;
    bool m_loggedOut = false;    // LOGOUT closed the device (not a shutdown)
    bool m_listenersTold = false;  // the listeners heard that the device closed
    std::string m_session;       // token of the current login; empty while not logged in
    std::vector<std::weak_ptr<DeviceListener>> m_listeners;
};

}  // namespace velk::tovr
