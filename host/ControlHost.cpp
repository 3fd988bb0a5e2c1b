// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/ControlHost.h"

#include "control/CVELK_DVRCtrl.h"
#include "host/ArgumentCoercion.h"
#include "host/FrameStreamer.h"
#include "host/HostMethods.h"
#include "host/InputInjector.h"
#include "host/InputRequest.h"
#include "host/JsonRpcDispatcher.h"
#include "host/PageMethods.h"
#include "host/RpcResponder.h"
#include "host/ScreenGrabber.h"
#include "host/WindowStack.h"

#include <QGuiApplication>
#include <QJsonObject>

#include <cstdio>

namespace host {

ControlHost::ControlHost() = default;

ControlHost::~ControlHost()
{
    destroy();
}

bool ControlHost::create(QSize size, NotificationSink events, SnapshotSink snapshots)
{
    m_events = std::move(events);
    m_snapshots = std::move(snapshots);
    m_control = new CVELK_DVRCtrl;
    if (!m_control->createWindow(nullptr, QRect(QPoint(0, 0), size), 0, true)) {
        std::fprintf(stderr, "velk-dvr-host: the control's window could not be created\n");
        delete m_control;
        m_control = nullptr;
        return false;
    }
    m_control->setWindowTitle(QStringLiteral("VELK DVR"));
    m_control->setEventSink(
        [this](const EventInfo& event, const std::vector<Variant>& args) { sendEvent(event, args); });
    m_control->setSnapshotSink([this](const QString& jpegPath, int channel) {
        if (m_snapshots)
            m_snapshots(jpegPath, channel);
    });

    m_windowStack = std::make_unique<WindowStack>();
    m_grabber = std::make_unique<ScreenGrabber>(*m_control, *m_windowStack);
    m_injector = std::make_unique<InputInjector>(*m_control, *m_windowStack);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        m_injector->keepAWindowActive();
    m_dispatcher = std::make_unique<JsonRpcDispatcher>(*m_control);
    registerHostMethods(*m_dispatcher, *m_grabber, *m_injector);
    m_streamer = std::make_unique<FrameStreamer>(*m_grabber);
    registerPageMethods(*m_dispatcher, *m_streamer, *m_control);
    // A click or a key shows in the page as soon as the control repainted,
    // not on the next tick of the frame rate. Hovering waits for its tick.
    m_injector->afterInput = [streamer = m_streamer.get()](const InputRequest& request) {
        if (request.type != InputRequest::Type::Move)
            streamer->hurry();
    };
    return true;
}

void ControlHost::sendEvent(const EventInfo& event, const std::vector<Variant>& args)
{
    QJsonObject params;
    for (std::size_t i = 0; i < event.params.size() && i < args.size(); ++i)
        params.insert(QLatin1String(event.params[i].name), variantToJson(args[i], event.params[i].type));
    if (m_events)
        m_events(rpc::notificationText(QLatin1String(event.name), params));
}

void ControlHost::destroy()
{
    // The dispatcher and what it reaches go first (no request can arrive
    // during the end); the control's end still sends its events.
    m_dispatcher.reset();
    m_streamer.reset();
    m_injector.reset();
    m_grabber.reset();
    if (m_control != nullptr) {
        m_control->destroyWindow();
        m_control->setEventSink(::EventSink());
        m_control->setSnapshotSink({});
        delete m_control;
        m_control = nullptr;
    }
    m_windowStack.reset();
    m_events = nullptr;
    m_snapshots = nullptr;
}

}  // namespace host
