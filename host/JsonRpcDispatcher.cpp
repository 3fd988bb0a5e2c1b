// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/JsonRpcDispatcher.h"

#include "control/Automation.h"
#include "control/CVELK_DVRCtrl.h"
#include "host/ArgumentCoercion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cmath>
#include <memory>

namespace host {

namespace {

QString argumentList(const std::vector<ArgInfo>& args)
{
    QStringList names;
    for (const ArgInfo& arg : args)
        names << QStringLiteral("%1 %2").arg(QLatin1String(arg.name), QLatin1String(varTypeName(arg.type)));
    return names.join(QStringLiteral(", "));
}

// A number id must have a JSON form to be echoed: one beyond the double's
// range (1e999) would come back as null, an id the caller never sent.
bool isValidId(const JsonNode& id)
{
    if (id.kind == JsonNode::Kind::Number)
        return std::isfinite(id.toValue().toDouble());
    return id.kind == JsonNode::Kind::String || id.kind == JsonNode::Kind::Null;
}

// The answers of one batch, collected in the members' order until every
// member that answers has answered.
struct BatchAnswers {
    RpcResponder::Send send;
    std::vector<QByteArray> answers;  // by member; empty for notifications
    int running = 0;                  // members (and the loop starting them) still due
    bool sent = false;

    void finishOne()
    {
        if (--running > 0 || sent)
            return;
        sent = true;
        QByteArray text;
        for (const QByteArray& answer : answers) {
            if (answer.isEmpty())
                continue;
            text += text.isEmpty() ? "[" : ",";
            text += answer;
        }
        if (!text.isEmpty())
            send(text + ']');
    }
};

}  // namespace

JsonRpcDispatcher::JsonRpcDispatcher(CVELK_DVRCtrl& control) : m_control(control) {}

void JsonRpcDispatcher::addHostMethod(const QString& name, HostMethod method)
{
    m_hostMethods[name.toLower()] = std::move(method);
}

bool JsonRpcDispatcher::handleMessage(const QByteArray& text, const CallerContext& caller,
                                      const RpcResponder::Send& send)
{
    JsonNode document;
    QString parseError;
    qsizetype offset = 0;
    if (!parseJsonText(text, document, parseError, offset)) {
        send(rpc::errorText(QJsonValue::Null, rpc::kParseError,
                            QStringLiteral("parse error at offset %1: %2").arg(offset).arg(parseError)));
        return true;
    }
    if (document.kind == JsonNode::Kind::Array)
        return handleBatch(document.items, caller, send);
    return handleRequest(document, caller, send);
}

bool JsonRpcDispatcher::handleBatch(const std::vector<JsonNode>& members, const CallerContext& caller,
                                    const RpcResponder::Send& send)
{
    if (members.empty()) {
        send(rpc::errorText(QJsonValue::Null, rpc::kInvalidRequest, QStringLiteral("invalid request: empty batch")));
        return true;
    }
    if (members.size() > kMaxBatchRequests) {
        send(rpc::errorText(QJsonValue::Null, rpc::kInvalidRequest,
                            QStringLiteral("invalid request: a batch holds at most %1 requests, this one %2")
                                .arg(kMaxBatchRequests)
                                .arg(members.size())));
        return true;
    }
    // Shared with the members' answer callbacks, which may run after this
    // returns (a member answering from a dialog's loop or after its input).
    auto batch = std::make_shared<BatchAnswers>();
    batch->send = send;
    batch->answers.resize(members.size());
    batch->running = 1;  // the loop below, until every member has started
    bool anyAnswerDue = false;
    for (std::size_t i = 0; i < members.size(); ++i) {
        ++batch->running;
        const bool due = handleRequest(members[i], caller, [batch, i](const QByteArray& answer) {
            batch->answers[i] = answer;
            batch->finishOne();
        });
        anyAnswerDue = anyAnswerDue || due;
        if (!due)
            batch->finishOne();
    }
    batch->finishOne();
    return anyAnswerDue;
}

bool JsonRpcDispatcher::handleRequest(const JsonNode& request, const CallerContext& caller,
                                      const RpcResponder::Send& send)
{
    // Until the request is known to be valid, its id is not trusted: an
    // invalid request is answered with id null, with or without an id.
    auto invalid = [&send](const QJsonValue& id, const QString& why) {
        send(rpc::errorText(id, rpc::kInvalidRequest, QStringLiteral("invalid request: %1").arg(why)));
        return true;
    };
    if (request.kind != JsonNode::Kind::Object)
        return invalid(QJsonValue::Null, QStringLiteral("expected a JSON-RPC request object"));

    const JsonNode* idNode = request.member(QLatin1String("id"));
    if (idNode != nullptr && !isValidId(*idNode))
        return invalid(QJsonValue::Null, QStringLiteral("\"id\" must be a string, a number or null"));
    const QJsonValue id = idNode != nullptr ? idNode->toValue() : QJsonValue(QJsonValue::Null);

    const JsonNode* version = request.member(QLatin1String("jsonrpc"));
    if (version == nullptr || version->kind != JsonNode::Kind::String || version->text != QLatin1String("2.0"))
        return invalid(id, QStringLiteral("\"jsonrpc\" must be \"2.0\""));
    const JsonNode* methodNode = request.member(QLatin1String("method"));
    if (methodNode == nullptr || methodNode->kind != JsonNode::Kind::String)
        return invalid(id, QStringLiteral("\"method\" must be a string"));
    const JsonNode* params = request.member(QLatin1String("params"));
    if (params != nullptr && params->kind != JsonNode::Kind::Array && params->kind != JsonNode::Kind::Object)
        return invalid(id, QStringLiteral("\"params\" must be an array or an object"));

    // A valid request without an id is a notification: run, never answered.
    const bool isNotification = idNode == nullptr;
    const RpcResponder responder(id, isNotification, send);

    const QString methodName = methodNode->text;
    if (methodName.startsWith(QLatin1Char('$'))) {
        const auto found = m_hostMethods.find(methodName.toLower());
        if (found == m_hostMethods.end()) {
            responder.error(rpc::kMethodNotFound, QStringLiteral("method not found: %1").arg(methodName));
            return !isNotification;
        }
        // Copy the handler: a nested loop inside it may dispatch other calls.
        const HostMethod handler = found->second;
        handler(params != nullptr ? params->toValue() : QJsonValue(QJsonValue::Undefined), caller, responder);
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

void JsonRpcDispatcher::callControlMethod(const MethodInfo& method, const JsonNode* params,
                                          const RpcResponder& responder)
{
    const QString name = QLatin1String(method.name);
    if (params != nullptr && params->kind == JsonNode::Kind::Object) {
        responder.error(rpc::kInvalidParams,
                        QStringLiteral("%1 takes its arguments by position: \"params\" must be an array (%2)")
                            .arg(name, argumentList(method.args)));
        return;
    }
    static const std::vector<JsonNode> kNone;
    const std::vector<JsonNode>& given = params != nullptr ? params->items : kNone;  // absent params: no arguments
    if (given.size() != method.args.size()) {
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
        if (!coerceArgument(given[i], info.type, value, why)) {
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
