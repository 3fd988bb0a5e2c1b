// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/HostMethods.h"

#include "host/InputInjector.h"
#include "host/InputRequest.h"
#include "host/JsonRpcDispatcher.h"
#include "host/ScreenGrabber.h"
#include "host/TypeLibraryJson.h"
#include "platform/Debug.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

namespace host {

namespace {

// A host method's single argument: given alone as an array's one element,
// as a named member of an object, or (for an object argument) as the
// params object itself. Undefined when absent.
QJsonValue singleArgument(const QJsonValue& params, const char* name)
{
    if (params.isArray()) {
        const QJsonArray array = params.toArray();
        return array.isEmpty() ? QJsonValue(QJsonValue::Undefined) : array.first();
    }
    if (params.isObject())
        return params.toObject().value(QLatin1String(name));
    return QJsonValue(QJsonValue::Undefined);
}

bool hasAtMostOneArgument(const QJsonValue& params)
{
    return !params.isArray() || params.toArray().size() <= 1;
}

void typelib(const QJsonValue&, const CallerContext&, const RpcResponder& responder)
{
    responder.result(typeLibraryJson());
}

void debugLines(const QJsonValue&, const CallerContext&, const RpcResponder& responder)
{
    QJsonArray lines;
    for (const std::string& line : platform::takeDebugLines())
        lines.append(QString::fromStdString(line));
    responder.result(lines);
}

QByteArray encodePng(const QImage& image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return QByteArray();
    return png;
}

// Writes the whole file or reports why not. A regular file is written
// beside its place and renamed over it only once complete, so a full disk
// leaves no truncated picture behind; a device or pipe (/dev/stdout, a
// FIFO) is written in place, and every write is checked.
bool writeFile(const QString& path, const QByteArray& data, QString& why)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            why = file.errorString();
            return false;
        }
        if (file.write(data) != data.size()) {
            why = file.errorString();
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        why = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

void grab(const ScreenGrabber& grabber, const QJsonValue& params, const CallerContext& caller,
          const RpcResponder& responder)
{
    const QJsonValue path = singleArgument(params, "path");
    if (!hasAtMostOneArgument(params) || (!path.isUndefined() && !path.isNull() && !path.isString())) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$grab takes one argument, the output path (a text)"));
        return;
    }
    const bool toFile = path.isString();
    if (toFile && path.toString().isEmpty()) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$grab: argument 1 (path) is empty"));
        return;
    }
    if (toFile && !caller.mayWriteFiles) {
        responder.error(rpc::kInvalidParams,
                        QStringLiteral("$grab writes files only for local scripts; call it without a path "
                                       "to receive the picture in the answer"));
        return;
    }

    const QImage image = grabber.grab();
    if (image.isNull()) {
        responder.error(rpc::kHostFailure, QStringLiteral("$grab: the control has no picture"));
        return;
    }
    QJsonObject answer{{"width", image.width()}, {"height", image.height()}};
    const QByteArray png = encodePng(image);
    if (png.isEmpty()) {
        responder.error(rpc::kHostFailure, QStringLiteral("$grab: the picture could not be encoded"));
        return;
    }
    if (toFile) {
        QString why;
        if (!writeFile(path.toString(), png, why)) {
            responder.error(rpc::kHostFailure,
                            QStringLiteral("$grab: could not write %1: %2").arg(path.toString(), why));
            return;
        }
        answer.insert(QStringLiteral("path"), path.toString());
    } else {
        answer.insert(QStringLiteral("png"), QString::fromLatin1(png.toBase64()));
    }
    responder.result(answer);
}

void input(InputInjector& injector, const QJsonValue& params, const CallerContext&, const RpcResponder& responder)
{
    const QJsonValue argument =
        params.isObject() ? params : (params.isArray() && params.toArray().size() == 1 ? params.toArray().first()
                                                                                      : QJsonValue());
    if (!argument.isObject()) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$input takes one input object, e.g. "
                                                            "{\"type\":\"click\",\"x\":10,\"y\":20}"));
        return;
    }
    InputRequest request;
    QString why;
    if (!parseInputRequest(argument.toObject(), request, why)) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$input: %1").arg(why));
        return;
    }
    injector.inject(request, [responder] { responder.result(QJsonValue::Null); });
}

}  // namespace

void registerHostMethods(JsonRpcDispatcher& dispatcher, const ScreenGrabber& grabber, InputInjector& injector)
{
    dispatcher.addHostMethod(QStringLiteral("$typelib"), typelib);
    dispatcher.addHostMethod(QStringLiteral("$debug"), debugLines);
    dispatcher.addHostMethod(QStringLiteral("$grab"),
                             [&grabber](const QJsonValue& params, const CallerContext& caller,
                                        const RpcResponder& responder) { grab(grabber, params, caller, responder); });
    dispatcher.addHostMethod(QStringLiteral("$input"),
                             [&injector](const QJsonValue& params, const CallerContext& caller,
                                         const RpcResponder& responder) { input(injector, params, caller, responder); });
}

}  // namespace host
