// SPDX-License-Identifier: GPL-3.0-or-later
#include "DeviceConnection.h"

#include "proto/JsonText.h"
#include "proto/Message.h"

#include <algorithm>

namespace velk::tovr {

namespace {

// Slack on top of the library's own timeouts before a waiting caller gives
// up by itself; the I/O thread normally answers well before.
constexpr std::chrono::milliseconds kWaitSlack{1000};

}  // namespace

DeviceConnection::DeviceConnection(asio::io_context& io, const LibraryConfig& config,
                                   std::shared_ptr<CallbackThread> callbacks, LoginCredentials credentials,
                                   TOVR_DeviceCallback callback, std::uint32_t userData)
    : m_io(io),
      m_config(config),
      m_callbacks(std::move(callbacks)),
      m_credentials(std::move(credentials)),
      m_callback(callback),
      m_userData(userData),
      m_reconnectTimer(io),
      m_reconnectDelay(config.reconnectDelay)
{
}

CommandOutcome DeviceConnection::login()
{
    m_state = State::LoggingIn;
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->beginAttempt(true); });
    const auto outcome = m_loginDone->waitFor(m_config.connectTimeout + m_config.requestTimeout + kWaitSlack);
    if (outcome)
        return *outcome;
    asio::post(m_io, [self] { self->closeOnIo(); });
    return CommandOutcome{TOVR_ERR_TIMEOUT, 0};
}

CommandOutcome DeviceConnection::logout()
{
    m_callbacks->closeGate(m_gate);
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->beginLogout(); });
    const auto outcome = m_logoutDone->waitFor(m_config.requestTimeout + kWaitSlack);
    if (outcome)
        return *outcome;
    asio::post(m_io, [self] { self->closeOnIo(); });
    return CommandOutcome{TOVR_ERR_TIMEOUT, 0};
}

void DeviceConnection::shutdown()
{
    m_callbacks->closeGate(m_gate);
    m_loginDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    m_logoutDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->closeOnIo(); });
}

void DeviceConnection::beginAttempt(bool initial)
{
    if (m_closing)
        return;
    m_attempt = std::make_shared<LoginAttempt>(m_io, m_config, m_credentials);
    std::weak_ptr<DeviceConnection> weak = weak_from_this();
    m_attempt->start([weak, initial](LoginOutcome outcome) {
        if (auto self = weak.lock())
            self->onAttemptDone(initial, std::move(outcome));
        else if (outcome.connection)
            outcome.connection->close();
    });
}

void DeviceConnection::onAttemptDone(bool initial, LoginOutcome outcome)
{
    m_attempt.reset();
    if (m_closing) {
        if (outcome.connection)
            outcome.connection->close();
        m_loginDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    if (initial) {
        if (outcome.result == TOVR_OK) {
            adopt(std::move(outcome.connection), outcome.login.session);
        } else {
            m_closing = true;
            m_state = State::Closed;
        }
        m_loginDone->set(CommandOutcome{outcome.result, outcome.detail});
        return;
    }
    if (outcome.result == TOVR_OK) {
        adopt(std::move(outcome.connection), outcome.login.session);
        m_reconnectDelay = m_config.reconnectDelay;
        notifyDevice(TOVR_DEVICE_NOTIFY_STATE_CHANGED);
        forEachListener([](DeviceListener& listener) { listener.onDeviceOnline(); });
    } else {
        m_reconnectDelay = std::min(m_reconnectDelay * 2, m_config.reconnectDelayMax);
        scheduleReconnect();
    }
}

void DeviceConnection::adopt(std::shared_ptr<MessageConnection> connection, std::string session)
{
    m_connection = std::move(connection);
    m_session = std::move(session);
    m_state = State::Online;
    std::weak_ptr<DeviceConnection> weak = weak_from_this();
    m_connection->setNotifyHandler([weak](const proto::Message& message) {
        if (auto self = weak.lock())
            self->onNotify(message);
    });
    m_connection->setLostHandler([weak](int) {
        if (auto self = weak.lock())
            self->onLost();
    });
}

void DeviceConnection::onLost()
{
    m_connection.reset();
    m_session.clear();
    if (m_closing)
        return;
    m_state = State::Reconnecting;
    notifyDevice(TOVR_DEVICE_NOTIFY_STATE_CHANGED);
    forEachListener([](DeviceListener& listener) { listener.onDeviceLost(); });
    m_reconnectDelay = m_config.reconnectDelay;
    scheduleReconnect();
}

void DeviceConnection::scheduleReconnect()
{
    if (m_closing)
        return;
    std::weak_ptr<DeviceConnection> weak = weak_from_this();
    m_reconnectTimer.expires_after(m_reconnectDelay);
    m_reconnectTimer.async_wait([weak](const asio::error_code& error) {
        auto self = weak.lock();
        if (error || !self)
            return;
        self->beginAttempt(false);
    });
}

void DeviceConnection::onNotify(const proto::Message& notification)
{
    if (notification.name == proto::kEventDevice) {
        if (const auto kind = proto::memberUInt32(notification.body, "kind"))
            notifyDevice(*kind);
        return;
    }
    if (notification.name == proto::kEventAlarm) {
        // Passed on as numbers: the device callback carries no text.
        const auto channel = proto::memberUInt32(notification.body, "channel");
        const Json::Value& active = notification.body["active"];
        if (!channel || !active.isBool())
            return;
        const Json::Value& kind = notification.body["kind"];
        const std::uint32_t alarmKind = kind == "motion"  ? TOVR_ALARM_MOTION
                                        : kind == "input" ? TOVR_ALARM_INPUT
                                                          : TOVR_ALARM_OTHER;
        notifyDevice(TOVR_DEVICE_NOTIFY_ALARM, *channel, alarmKind, active.asBool() ? 1 : 0);
    }
}

void DeviceConnection::notifyDevice(std::uint32_t kind, std::uint32_t value1, std::uint32_t value2,
                                    std::uint32_t value3)
{
    if (!m_callback)
        return;
    const TOVR_DeviceCallback callback = m_callback;
    const std::uint32_t userData = m_userData;
    m_callbacks->post(m_gate, [callback, userData, kind, value1, value2, value3] {
        callback(kind, userData, value1, value2, value3);
    });
}

void DeviceConnection::beginLogout()
{
    if (m_closing && !m_connection) {
        m_logoutDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    m_closing = true;
    m_loggedOut = true;
    // The streams end now, before the recorder ends them with the login.
    tellListenersClosed();
    m_reconnectTimer.cancel();
    if (m_attempt) {
        m_attempt->cancel();
        m_attempt.reset();
    }
    if (!m_connection || !m_connection->isOpen()) {
        closeOnIo();
        m_logoutDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        return;
    }
    auto self = shared_from_this();
    m_connection->request(proto::kMethodLogout, Json::Value(Json::objectValue), m_config.requestTimeout,
                          [self](int result, const proto::Message& reply) {
                              CommandOutcome outcome{result, 0};
                              if (result == TOVR_OK && reply.code != 0)
                                  outcome = CommandOutcome{TOVR_ERR_DEVICE, static_cast<std::uint32_t>(reply.code)};
                              self->closeOnIo();
                              self->m_logoutDone->set(outcome);
                          });
}

void DeviceConnection::closeOnIo()
{
    m_closing = true;
    m_state = State::Closed;
    m_reconnectTimer.cancel();
    if (m_attempt) {
        auto attempt = std::move(m_attempt);
        attempt->cancel();
    }
    if (m_connection) {
        auto connection = std::move(m_connection);
        connection->close();
    }
    m_session.clear();
    m_loginDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    tellListenersClosed();
}

void DeviceConnection::tellListenersClosed()
{
    if (m_listenersTold)
        return;
    m_listenersTold = true;
    const bool loggedOut = m_loggedOut;
    forEachListener([loggedOut](DeviceListener& listener) { listener.onDeviceClosed(loggedOut); });
    m_listeners.clear();
}

bool DeviceConnection::addListener(std::weak_ptr<DeviceListener> listener)
{
    if (m_closing)
        return false;
    m_listeners.push_back(std::move(listener));
    return true;
}

void DeviceConnection::removeListener(const DeviceListener* listener)
{
    std::erase_if(m_listeners, [listener](const std::weak_ptr<DeviceListener>& weak) {
        const auto locked = weak.lock();
        return !locked || locked.get() == listener;
    });
}

void DeviceConnection::requestKeyFrames(std::uint32_t channelMask, std::uint32_t streamType)
{
    forEachListener([&](DeviceListener& listener) { listener.onKeyFrameWanted(channelMask, streamType); });
}

void DeviceConnection::forEachListener(const std::function<void(DeviceListener&)>& action)
{
    // A copy: a listener may add or remove listeners meanwhile.
    const auto listeners = m_listeners;
    for (const auto& weak : listeners)
        if (const auto listener = weak.lock())
            action(*listener);
}

}  // namespace velk::tovr
