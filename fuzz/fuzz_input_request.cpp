// SPDX-License-Identifier: GPL-3.0-or-later
// The page's input requests: the params of a `$input` call, taken as the
// host method takes them (one object, or an array of one object), then read
// into an InputRequest; and key names.
//
// Input: the params text (JSON).
//
// Properties checked: a request that is read has finite positions within the
// control's coordinate limits, a nonzero wheel step within its limit and a
// known key; a refused one says why.
#include "FuzzCheck.h"

#include "host/InputRequest.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void readRequest(const QJsonObject& object)
{
    host::InputRequest request;
    QString why;
    if (!host::parseInputRequest(object, request, why)) {
        FUZZ_CHECK(!why.isEmpty());
        return;
    }
    if (request.isMouse()) {
        FUZZ_CHECK(std::isfinite(request.pos.x()) && std::isfinite(request.pos.y()));
        FUZZ_CHECK(std::fabs(request.pos.x()) <= 100000.0 && std::fabs(request.pos.y()) <= 100000.0);
        if (request.type == host::InputRequest::Type::Wheel)
            FUZZ_CHECK(request.wheelDelta != 0 && std::abs(request.wheelDelta) <= 120 * 100);
    } else {
        FUZZ_CHECK(request.key != 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (document.isObject()) {
        readRequest(document.object());
    } else if (document.isArray()) {
        for (const QJsonValue& value : document.array()) {
            readRequest(value.toObject());
            if (value.isString()) {
                int key = 0;
                QString typed;
                if (host::keyFromName(value.toString(), key, typed))
                    FUZZ_CHECK(key != 0);
            }
        }
    }
    // The whole input as a key name.
    int key = 0;
    QString typed;
    if (host::keyFromName(QString::fromUtf8(text), key, typed))
        FUZZ_CHECK(key != 0);
    return 0;
}
