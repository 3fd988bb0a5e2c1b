// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/RpcResponder.h"

#include <QJsonDocument>

namespace host {

namespace rpc {

namespace {
QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
}  // namespace

QByteArray resultText(const QJsonValue& id, const QJsonValue& result)
{
    return compact(QJsonObject{{"jsonrpc", "2.0"}, {"id", id}, {"result", result}});
}

QByteArray errorText(const QJsonValue& id, int code, const QString& message)
{
    return compact(QJsonObject{
        {"jsonrpc", "2.0"}, {"id", id}, {"error", QJsonObject{{"code", code}, {"message", message}}}});
}

QByteArray notificationText(const QString& method, const QJsonObject& params)
{
    return compact(QJsonObject{{"jsonrpc", "2.0"}, {"method", method}, {"params", params}});
}

}  // namespace rpc

RpcResponder::RpcResponder(QJsonValue id, bool isNotification, Send send)
    : m_state(std::make_shared<State>())
{
    m_state->id = std::move(id);
    m_state->isNotification = isNotification;
    m_state->send = std::move(send);
}

void RpcResponder::result(const QJsonValue& value) const
{
    if (m_state->answered)
        return;
    m_state->answered = true;
    if (!m_state->isNotification && m_state->send)
        m_state->send(rpc::resultText(m_state->id, value));
}

void RpcResponder::error(int code, const QString& message) const
{
    if (m_state->answered)
        return;
    m_state->answered = true;
    if (!m_state->isNotification && m_state->send)
        m_state->send(rpc::errorText(m_state->id, code, message));
}

bool RpcResponder::answered() const
{
    return m_state->answered;
}

}  // namespace host
