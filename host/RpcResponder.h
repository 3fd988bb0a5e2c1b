// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC 2.0 framing: error codes, response and notification texts, and
// the responder that answers one request, now or later, exactly once.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace host {

class WebSocketConnection;

namespace rpc {
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kHostFailure = -32000;  // a host method could not do its work

QByteArray resultText(const QJsonValue& id, const QJsonValue& result);
QByteArray errorText(const QJsonValue& id, int code, const QString& message);
QByteArray notificationText(const QString& method, const QJsonObject& params);
}  // namespace rpc

// What a transport lets its callers do.
struct CallerContext {
    // Only local scripts (stdio) may have the host write files by path: a
    // page must not choose where the host writes.
    bool mayWriteFiles = false;
    // The page's connection for methods that act per page ($view, $ack);
    // nullptr for stdio.
    WebSocketConnection* connection = nullptr;
};

// Answers one request. Copies share one answer: the first result() or
// error() is sent, later ones are dropped. A notification (a request without
// an id) is never answered. UI thread only.
class RpcResponder {
public:
    using Send = std::function<void(const QByteArray& line)>;

    RpcResponder(QJsonValue id, bool isNotification, Send send);

    void result(const QJsonValue& value) const;
    void error(int code, const QString& message) const;
    bool answered() const;

private:
    struct State {
        QJsonValue id;
        bool isNotification = false;
        Send send;
        bool answered = false;
    };
    std::shared_ptr<State> m_state;
};

}  // namespace host
