// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/PageMethods.h"

#include "control/Automation.h"
#include "host/FrameStreamer.h"
#include "host/JsonRpcDispatcher.h"
#include "host/WebSocketConnection.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QScreen>
#include <QWidget>
#include <qpa/qwindowsysteminterface.h>

#include <cmath>
#include <optional>

namespace host {

namespace {

constexpr int kMinSide = 64;
constexpr int kMaxWidth = 3840;
constexpr int kMaxHeight = 2160;

QJsonArray argsJson(const std::vector<ArgInfo>& args)
{
    QJsonArray list;
    for (const ArgInfo& arg : args)
        list.append(QJsonObject{{"name", QLatin1String(arg.name)}, {"type", QLatin1String(varTypeName(arg.type))}});
    return list;
}

void methods(const QJsonValue&, const CallerContext&, const RpcResponder& responder)
{
    QJsonArray list;
    for (const MethodInfo& method : methodTable()) {
        list.append(QJsonObject{{"dispid", method.dispid},
                                {"name", QLatin1String(method.name)},
                                {"args", argsJson(method.args)},
                                {"result", QLatin1String(varTypeName(method.result))},
                                {"summary", QLatin1String(method.summary ? method.summary : "")}});
    }
    QJsonArray events;
    for (const EventInfo& event : eventTable())
        events.append(QJsonObject{{"dispid", event.dispid}, {"name", QLatin1String(event.name)},
                                  {"params", argsJson(event.params)}});
    responder.result(QJsonObject{{"methods", list}, {"events", events}});
}

WebSocketConnection* pageOf(const CallerContext& caller)
{
    return caller.connection;
}

void view(FrameStreamer& streamer, const QJsonValue& params, const CallerContext& caller,
          const RpcResponder& responder)
{
    WebSocketConnection* page = pageOf(caller);
    if (page == nullptr) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$view streams frames to pages on the WebSocket only"));
        return;
    }
    QJsonValue fps = params.isObject() ? params.toObject().value(QLatin1String("fps"))
                     : params.isArray() && !params.toArray().isEmpty() ? params.toArray().first()
                                                                        : QJsonValue(FrameStreamer::kMaxFps);
    if (fps.isUndefined())
        fps = FrameStreamer::kMaxFps;
    if (!fps.isDouble() || fps.toDouble() < 0 || fps.toDouble() > 1000) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$view: fps is a number from 0 to 25"));
        return;
    }
    responder.result(QJsonObject{{"fps", std::min(fps.toInt(), FrameStreamer::kMaxFps)}, {"format", "jpeg"}});
    streamer.subscribe(page, fps.toInt());
}

void ack(FrameStreamer& streamer, const QJsonValue&, const CallerContext& caller, const RpcResponder& responder)
{
    if (WebSocketConnection* page = pageOf(caller))
        streamer.acknowledge(page);
    responder.result(QJsonValue::Null);
}

void viewStats(const FrameStreamer& streamer, const RpcResponder& responder)
{
    const FrameStreamer::Stats& s = streamer.stats();
    responder.result(QJsonObject{{"ticks", static_cast<qint64>(s.ticks)},
                                 {"heldForAck", static_cast<qint64>(s.heldForAck)},
                                 {"heldForQueue", static_cast<qint64>(s.heldForQueue)},
                                 {"heldForEncoder", static_cast<qint64>(s.heldForEncoder)},
                                 {"grabs", static_cast<qint64>(s.grabs)},
                                 {"unchanged", static_cast<qint64>(s.unchanged)},
                                 {"fingerprints", static_cast<qint64>(s.fingerprints)},
                                 {"encodes", static_cast<qint64>(s.encodes)},
                                 {"framesSent", static_cast<qint64>(s.framesSent)},
                                 {"bytesSent", static_cast<qint64>(s.bytesSent)},
                                 {"grabMs", s.grabMs},
                                 {"encodeMs", s.encodeMs}});
}

// A side in whole pixels within [kMinSide, largest]. The range is checked on
// the number as sent: converting first would be undefined for 1e20 or 1e400
// (infinite once read).
std::optional<int> sideOf(const QJsonValue& value, int largest)
{
    const double side = value.toDouble();
    if (!(side >= kMinSide && side <= largest) || std::floor(side) != side)
        return std::nullopt;
    return static_cast<int>(side);
}

void resize(FrameStreamer& streamer, QWidget& control, const QJsonValue& params, const CallerContext&,
            const RpcResponder& responder)
{
    const QJsonArray size = params.toArray();
    if (size.size() != 2 || !size[0].isDouble() || !size[1].isDouble()) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$resize takes [width, height]"));
        return;
    }
    const std::optional<int> width = sideOf(size[0], kMaxWidth);
    const std::optional<int> height = sideOf(size[1], kMaxHeight);
    if (!width || !height) {
        responder.error(rpc::kInvalidParams, QStringLiteral("$resize: the size must be whole pixels from %1x%1 to %2x%3")
                                                 .arg(kMinSide).arg(kMaxWidth).arg(kMaxHeight));
        return;
    }
    // Headless, the screen is exactly the control's area (menus and dialogs
    // stay on it), so it follows the control.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            // The window system speaks device pixels.
            const qreal ratio = screen->devicePixelRatio();
            const QRect geometry(screen->geometry().topLeft() * ratio, QSize(*width, *height) * ratio);
            QWindowSystemInterface::handleScreenGeometryChange(screen, geometry, geometry);
            QWindowSystemInterface::flushWindowSystemEvents();
        }
    }
    control.resize(*width, *height);
    streamer.invalidate();
    responder.result(QJsonObject{{"width", control.width()}, {"height", control.height()}});
}

}  // namespace

void registerPageMethods(JsonRpcDispatcher& dispatcher, FrameStreamer& streamer, QWidget& control)
{
    dispatcher.addHostMethod(QStringLiteral("$methods"), methods);
    dispatcher.addHostMethod(QStringLiteral("$view"),
                             [&streamer](const QJsonValue& params, const CallerContext& caller,
                                         const RpcResponder& responder) { view(streamer, params, caller, responder); });
    dispatcher.addHostMethod(QStringLiteral("$ack"),
                             [&streamer](const QJsonValue& params, const CallerContext& caller,
                                         const RpcResponder& responder) { ack(streamer, params, caller, responder); });
    dispatcher.addHostMethod(QStringLiteral("$viewStats"),
                             [&streamer](const QJsonValue&, const CallerContext&, const RpcResponder& responder) {
                                 viewStats(streamer, responder);
                             });
    dispatcher.addHostMethod(QStringLiteral("$resize"), [&streamer, &control](const QJsonValue& params,
                                                                             const CallerContext& caller,
                                                                             const RpcResponder& responder) {
        resize(streamer, control, params, caller, responder);
    });
}

}  // namespace host
