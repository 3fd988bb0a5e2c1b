// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/JsonRpcDispatcher.h"

#include "control/Automation.h"
#include "control/CVELK_DVRCtrl.h"
#include "host/ArgumentCoercion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

namespace host {

namespace {

QString argumentList(const std::vector<ArgInfo>& args)
{
    QStringList names;
    for (const ArgInfo& arg : args)
        names << QStringLiteral("%1 %2").arg(QLatin1String(arg.name), QLatin1String(varTypeName(arg.type)));
    return names.join(QStringLiteral(", "));
}

bool isValidId(const QJsonValue& id)
{
    return id.isString() || id.isDouble() || id.isNull();
}

}  // namespace

JsonRpcDispatcher::JsonRpcDispatcher(CVELK_DVRCtrl& control) : m_control(control) {}

void JsonRpcDispatcher::addHostMethod(const QString& name, HostMethod method)
{
    m_hostMethods[name.toLower()] = std::move(method);
}

bool JsonRpcDispatcher::handleMessage(const QByteArray& text, const CallerContext& caller,
                                      const RpcResponder::Send& send)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // A lone number or text is JSON, but not a request.
        QJsonParseError scalarError{};
        QJsonDocument::fromJson('[' + text + ']', &scalarError);
        if (scalarError.error == QJsonParseError::NoError) {
            send(rpc::errorText(QJsonValue::Null, rpc::kInvalidRequest,
                                QStringLiteral("invalid request: expected a JSON-RPC request object")));
            return true;
        }
        send(rpc::errorText(QJsonValue::Null, rpc::kParseError,
                            QStringLiteral("parse error at offset %1: %2")
                                .arg(parseError.offset)
                                .arg(parseError.errorString())));
        return true;
    }
    if (document.isArray()) {
        send(rpc::errorText(QJsonValue::Null, rpc::kInvalidRequest,
                            QStringLiteral("batch requests are not supported: send one request per message")));
        return true;
    }
    const QJsonObject request = document.object();

    const bool isNotification = !request.contains(QLatin1String("id"));
    const QJsonValue id = request.value(QLatin1String("id"));
    if (!isNotification && !isValidId(id)) {
        send(rpc::errorText(QJsonValue::Null, rpc::kInvalidRequest,
                            QStringLiteral("invalid request: \"id\" must be a string, a number or null")));
        return true;
    }
    const RpcResponder responder(isNotification ? QJsonValue() : id, isNotification, send);

    if (request.value(QLatin1String("jsonrpc")) != QJsonValue(QStringLiteral("2.0"))) {
        responder.error(rpc::kInvalidRequest, QStringLiteral("invalid request: \"jsonrpc\" must be \"2.0\""));
        return !isNotification;
    }
    const QJsonValue methodValue = request.value(QLatin1String("method"));
    if (!methodValue.isString()) {
        responder.error(rpc::kInvalidRequest, QStringLiteral("invalid request: \"method\" must be a string"));
        return !isNotification;
    }
    const QJsonValue params = request.value(QLatin1String("params"));
    if (!params.isUndefined() && !params.isArray() && !params.isObject()) {
        responder.error(rpc::kInvalidRequest,
                        QStringLiteral("invalid request: \"params\" must be an array or an object"));
        return !isNotification;
    }

    const QString methodName = methodValue.toString();
    if (methodName.startsWith(QLatin1Char('$'))) {
        const auto found = m_hostMethods.find(methodName.toLower());
        if (found == m_hostMethods.end()) {
            responder.error(rpc::kMethodNotFound, QStringLiteral("method not found: %1").arg(methodName));
            return !isNotification;
        }
        // Copy the handler: a nested loop inside it may dispatch other calls.
        const HostMethod handler = found->second;
        handler(params, caller, responder);
        return !isNotification;
    }

    const MethodInfo* method = findMethod(methodName);
    if (method == nullptr) {
        responder.error(rpc::kMethodNotFound, QStringLiteral("method not found: %1").arg(methodName));
        return !isNotification;
    }
    callControlMethod(*method, params, responder);
    return !isNotification;
}

void JsonRpcDispatcher::callControlMethod(const MethodInfo& method, const QJsonValue& params,
                                          const RpcResponder& responder)
{
    const QString name = QLatin1String(method.name);
    if (params.isObject()) {
        responder.error(rpc::kInvalidParams,
                        QStringLiteral("%1 takes its arguments by position: \"params\" must be an array (%2)")
                            .arg(name, argumentList(method.args)));
        return;
    }
    const QJsonArray given = params.toArray();  // absent params: no arguments
    if (static_cast<std::size_t>(given.size()) != method.args.size()) {
        responder.error(rpc::kInvalidParams, QStringLiteral("%1 expects %2 argument(s) (%3), got %4")
                                                 .arg(name)
                                                 .arg(method.args.size())
                                                 .arg(argumentList(method.args))
                                                 .arg(given.size()));
        return;
    }

    std::vector<Variant> args;
    args.reserve(method.args.size());
    for (std::size_t i = 0; i < method.args.size(); ++i) {
        const ArgInfo& info = method.args[i];
        Variant value;
        QString why;
        if (!coerceArgument(given.at(static_cast<qsizetype>(i)), info.type, value, why)) {
            responder.error(rpc::kInvalidParams, QStringLiteral("%1: argument %2 (%3) %4")
                                                     .arg(name)
                                                     .arg(i + 1)
                                                     .arg(QLatin1String(info.name), why));
            return;
        }
        args.push_back(std::move(value));
    }

    // May run a nested event loop (a modal dialog); other requests are
    // served meanwhile and this one answers when the call returns.
    const Variant result = invokeMethod(m_control, method, args);
    responder.result(variantToJson(result, method.result));
}

}  // namespace host
