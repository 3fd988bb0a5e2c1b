// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC request texts as the host receives them from a page or a script,
// up to the point where a method would run: the request checks the
// dispatcher makes, the responder's answer texts, and the coercion of every
// argument to every automation type.
//
// Built from the host's own JSON reader (host/JsonText.h, which keeps
// numbers as written) and the public functions of host/ArgumentCoercion.h
// and host/RpcResponder.h. The control is not involved: calling its methods with arbitrary
// arguments would connect to recorders, open dialogs and write files.
//
// Input: the request text.
//
// Properties checked: every answer is one JSON object with "jsonrpc":"2.0"
// and the request's id, sent at most once; a coerced value's JSON form
// coerces to the same value.
#include "FuzzCheck.h"

#include "control/Automation.h"
#include "host/ArgumentCoercion.h"
#include "host/JsonText.h"
#include "host/RpcResponder.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr VarType kTypes[] = {VarType::UI4, VarType::I4, VarType::UI2, VarType::I2, VarType::UI8, VarType::BSTR,
                              VarType::Empty};

void checkAnswer(const QByteArray& line, const QJsonValue& id)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError && document.isObject());
    const QJsonObject answer = document.object();
    FUZZ_CHECK(answer.value(QLatin1String("jsonrpc")) == QJsonValue(QStringLiteral("2.0")));
    FUZZ_CHECK(answer.value(QLatin1String("id")) == id);
    FUZZ_CHECK(answer.contains(QLatin1String("result")) != answer.contains(QLatin1String("error")));
    FUZZ_CHECK(!line.contains('\n'));
}

void coerceAll(const host::JsonNode& argument)
{
    for (const VarType type : kTypes) {
        Variant value;
        QString why;
        if (!host::coerceArgument(argument, type, value, why)) {
            FUZZ_CHECK(!why.isEmpty());
            continue;
        }
        FUZZ_CHECK(value.type == type);
        for (const VarType declared : kTypes)
            (void)host::variantToJson(value, declared);
        const QJsonValue json = host::variantToJson(value);
        if (type == VarType::UI8 && value.uint64 > (std::uint64_t(1) << 53))
            continue;  // beyond JSON's exact integers
        Variant again;
        FUZZ_CHECK(host::coerceArgument(json, type, again, why));
        FUZZ_CHECK(again.type == value.type && again.integer == value.integer && again.uint64 == value.uint64 &&
                   again.text == value.text);
    }
}

// A number literal the reader accepted reads as an integer the same way
// when written back by the host.
void checkNumber(const host::JsonNode& node)
{
    bool negative = false;
    quint64 magnitude = 0;
    bool tooLarge = false;
    if (!host::integerFromLiteral(node.numberText, negative, magnitude, tooLarge) || tooLarge)
        return;
    const host::JsonNode again = host::nodeFromValue(node.toValue());
    if (magnitude <= (quint64(1) << 53)) {
        bool negative2 = false;
        quint64 magnitude2 = 0;
        bool tooLarge2 = false;
        FUZZ_CHECK(host::integerFromLiteral(again.numberText, negative2, magnitude2, tooLarge2));
        FUZZ_CHECK(magnitude2 == magnitude && (negative2 == negative || magnitude == 0));
    }
}

void walk(const host::JsonNode& node, int depth)
{
    FUZZ_CHECK(depth <= host::kMaxJsonDepth + 1);
    if (node.kind == host::JsonNode::Kind::Number)
        checkNumber(node);
    for (const host::JsonNode& item : node.items)
        walk(item, depth + 1);
    for (const auto& member : node.members)
        walk(member.second, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    host::JsonNode document;
    QString parseError;
    qsizetype errorOffset = -1;
    if (!host::parseJsonText(text, document, parseError, errorOffset)) {
        FUZZ_CHECK(!parseError.isEmpty());
        FUZZ_CHECK(errorOffset >= 0 && errorOffset <= text.size());
        checkAnswer(host::rpc::errorText(QJsonValue::Null, host::rpc::kParseError, parseError), QJsonValue::Null);
        return 0;
    }
    walk(document, 0);
    (void)document.toValue();

    // A batch's requests, or the one request.
    std::vector<const host::JsonNode*> requests;
    if (document.kind == host::JsonNode::Kind::Array)
        for (const host::JsonNode& item : document.items)
            requests.push_back(&item);
    else
        requests.push_back(&document);
    for (const host::JsonNode* request : requests) {
        const host::JsonNode* idNode = request->member(QLatin1String("id"));
        const bool isNotification = idNode == nullptr;
        const QJsonValue id = idNode ? idNode->toValue() : QJsonValue();
        const bool validId = id.isString() || (id.isDouble() && std::isfinite(id.toDouble())) || id.isNull();
        const QJsonValue answerId = isNotification || !validId ? QJsonValue(QJsonValue::Null) : id;

        int answers = 0;
        const host::RpcResponder responder(isNotification ? QJsonValue() : answerId, isNotification,
                                           [&](const QByteArray& line) {
                                               ++answers;
                                               checkAnswer(line, answerId);
                                           });
        const host::JsonNode* methodNode = request->member(QLatin1String("method"));
        const QString method = methodNode ? methodNode->toValue().toString() : QString();
        const host::JsonNode* params = request->member(QLatin1String("params"));
        if (params && params->kind == host::JsonNode::Kind::Array) {
            for (const host::JsonNode& argument : params->items)
                coerceAll(argument);
            responder.result(params->toValue());
        } else if (params && params->kind == host::JsonNode::Kind::Object) {
            for (const auto& member : params->members)
                coerceAll(member.second);
            responder.result(params->toValue());
        } else {
            responder.error(host::rpc::kInvalidParams, QStringLiteral("method %1: no params").arg(method));
        }
        responder.error(host::rpc::kInternalError, QStringLiteral("second answer"));
        FUZZ_CHECK(answers == (isNotification ? 0 : 1));

        // An event with these parameters, as pages receive it.
        const QJsonObject eventParams = params ? params->toValue().toObject() : QJsonObject();
        const QByteArray event = host::rpc::notificationText(method, eventParams);
        const QJsonDocument eventDocument = QJsonDocument::fromJson(event);
        FUZZ_CHECK(eventDocument.isObject() && !eventDocument.object().contains(QLatin1String("id")));
        FUZZ_CHECK(eventDocument.object().value(QLatin1String("method")).toString() == method);
    }
    return 0;
}
