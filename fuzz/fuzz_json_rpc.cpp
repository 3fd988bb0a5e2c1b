// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC request texts as the host receives them from a page or a script,
// up to the point where a method would run: the request checks the
// dispatcher makes, the responder's answer texts, and the coercion of every
// argument to every automation type.
//
// Built from the public functions of host/ArgumentCoercion.h and
// host/RpcResponder.h only, so that it keeps working while the dispatcher
// changes. The control is not involved: calling its methods with arbitrary
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
#include "host/RpcResponder.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <cstddef>
#include <cstdint>

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

void coerceAll(const QJsonValue& argument)
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The dispatcher tells a lone number or text from a parse error.
        QJsonParseError scalarError{};
        const QJsonDocument wrapped = QJsonDocument::fromJson('[' + text + ']', &scalarError);
        if (scalarError.error == QJsonParseError::NoError)
            for (const QJsonValue& value : wrapped.array())
                coerceAll(value);
        checkAnswer(host::rpc::errorText(QJsonValue::Null, host::rpc::kParseError, parseError.errorString()),
                    QJsonValue::Null);
        return 0;
    }

    // A batch's requests, or the one request.
    QJsonArray requests;
    if (document.isArray())
        requests = document.array();
    else
        requests.append(document.object());
    for (const QJsonValue& entry : requests) {
        const QJsonObject request = entry.toObject();
        const bool isNotification = !request.contains(QLatin1String("id"));
        const QJsonValue id = request.value(QLatin1String("id"));
        const bool validId = id.isString() || id.isDouble() || id.isNull();
        const QJsonValue answerId = isNotification || !validId ? QJsonValue(QJsonValue::Null) : id;

        int answers = 0;
        const host::RpcResponder responder(isNotification ? QJsonValue() : answerId, isNotification,
                                           [&](const QByteArray& line) {
                                               ++answers;
                                               checkAnswer(line, answerId);
                                           });
        const QString method = request.value(QLatin1String("method")).toString();
        const QJsonValue params = request.value(QLatin1String("params"));
        if (params.isArray()) {
            for (const QJsonValue& argument : params.toArray())
                coerceAll(argument);
            responder.result(params);
        } else if (params.isObject()) {
            for (const QJsonValue& argument : params.toObject())
                coerceAll(argument);
            responder.result(params);
        } else {
            responder.error(host::rpc::kInvalidParams, QStringLiteral("method %1: no params").arg(method));
        }
        responder.error(host::rpc::kInternalError, QStringLiteral("second answer"));
        FUZZ_CHECK(answers == (isNotification ? 0 : 1));

        // An event with these parameters, as pages receive it.
        const QByteArray event = host::rpc::notificationText(method, params.toObject());
        const QJsonDocument eventDocument = QJsonDocument::fromJson(event);
        FUZZ_CHECK(eventDocument.isObject() && !eventDocument.object().contains(QLatin1String("id")));
        FUZZ_CHECK(eventDocument.object().value(QLatin1String("method")).toString() == method);
    }
    return 0;
}
