// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/FrameStreamer.h"

#include "host/JpegEncoder.h"
#include "host/ScreenGrabber.h"
#include "host/WebSocketConnection.h"
#include "platform/RenderTarget.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cstring>

namespace host {

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

// Above this many bytes still queued in the socket a page is not sent more,
// acknowledged or not.
constexpr qint64 kMaxQueuedBytes = 512 * 1024;

}  // namespace

FrameStreamer::FrameStreamer(const ScreenGrabber& grabber, QObject* parent) : QObject(parent), m_grabber(grabber)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { onTick(); });
    m_encoderThread.setObjectName(QStringLiteral("frame encoder"));
    m_encoderContext.moveToThread(&m_encoderThread);
    m_encoderThread.start();
}

FrameStreamer::~FrameStreamer()
{
    m_encoderThread.quit();
    m_encoderThread.wait();
}

FrameStreamer::Subscriber* FrameStreamer::find(WebSocketConnection* page)
{
    for (Subscriber& subscriber : m_subscribers) {
        if (subscriber.page == page)
            return &subscriber;
    }
    return nullptr;
}

void FrameStreamer::subscribe(WebSocketConnection* page, int fps)
{
    if (page == nullptr)
        return;
    if (fps <= 0) {
        m_subscribers.erase(std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                                           [page](const Subscriber& s) { return s.page == page; }),
                            m_subscribers.end());
        updateTimer();
        return;
    }
    Subscriber* subscriber = find(page);
    if (subscriber == nullptr) {
        m_subscribers.emplace_back();
        subscriber = &m_subscribers.back();
        subscriber->page = page;
    }
    subscriber->intervalMs = 1000 / std::clamp(fps, 1, kMaxFps);
    subscriber->sentAny = false;  // a (re)subscribing page wants a picture now
    subscriber->inFlightSinceMs = -1;
    subscriber->inFlight = 0;
    updateTimer();
    // Answer first, then the picture: queued so the subscription's answer
    // leaves before the first frame.
    QTimer::singleShot(0, this, [this] { onTick(); });
}

void FrameStreamer::acknowledge(WebSocketConnection* page)
{
    Subscriber* subscriber = find(page);
    if (subscriber == nullptr)
        return;
    subscriber->inFlight = std::max(0, subscriber->inFlight - 1);
    // The next oldest frame's time is not kept: the ack timeout counts
    // from this ack for it.
    subscriber->inFlightSinceMs = subscriber->inFlight > 0 ? nowMs() : -1;
    // Input is waiting to be shown: at once.
    if (m_hurry) {
        QTimer::singleShot(0, this, [this] { onTick(); });
        return;
    }
    // A page whose ack came after its tick would otherwise wait a whole
    // further interval: its next frame goes as soon as its interval allows.
    if (subscriber->missedTick) {
        subscriber->missedTick = false;
        const qint64 waitMs = std::max<qint64>(0, subscriber->lastSentMs + subscriber->intervalMs - 2 - nowMs());
        QTimer::singleShot(static_cast<int>(waitMs), Qt::PreciseTimer, this, [this] { onTick(); });
    }
}

void FrameStreamer::invalidate()
{
    for (Subscriber& subscriber : m_subscribers)
        subscriber.sentAny = false;
}

void FrameStreamer::hurry()
{
    if (m_subscribers.empty() || m_hurry)
        return;
    m_hurry = true;
    QTimer::singleShot(0, this, [this] { onTick(); });
}

void FrameStreamer::updateTimer()
{
    if (m_subscribers.empty()) {
        m_timer.stop();
        return;
    }
    int intervalMs = 1000;
    for (const Subscriber& subscriber : m_subscribers)
        intervalMs = std::min(intervalMs, subscriber.intervalMs);
    if (!m_timer.isActive() || m_timer.interval() != intervalMs)
        m_timer.start(intervalMs);
}

void FrameStreamer::onTick()
{
    // Pages that went away.
    const std::size_t before = m_subscribers.size();
    m_subscribers.erase(std::remove_if(m_subscribers.begin(), m_subscribers.end(),
                                       [](const Subscriber& s) {
                                           return s.page.isNull() || !s.page->isOpen();
                                       }),
                        m_subscribers.end());
    if (m_subscribers.size() != before)
        updateTimer();

    if (m_subscribers.empty())
        return;
    ++m_stats.ticks;
    const qint64 now = nowMs();
    std::vector<Subscriber*> ready;
    for (Subscriber& subscriber : m_subscribers) {
        if (subscriber.inFlight > 0 && now - subscriber.inFlightSinceMs >= kAckTimeoutMs) {
            subscriber.inFlight = 0;  // acks lost: the page is not starved for ever
            subscriber.inFlightSinceMs = -1;
        }
        if (subscriber.inFlight >= kFramesInFlight) {
            subscriber.missedTick = true;
            ++m_stats.heldForAck;
            continue;
        }
        if (!m_hurry && now - subscriber.lastSentMs < subscriber.intervalMs - 2)
            continue;
        if (subscriber.page->bytesToWrite() > kMaxQueuedBytes) {
            ++m_stats.heldForQueue;
            continue;
        }
        ready.push_back(&subscriber);
    }
    if (ready.empty())
        return;

    if (m_encoding) {
        // The hurry stays for the tick after this picture is delivered.
        ++m_stats.heldForEncoder;
        for (Subscriber* subscriber : ready)
            subscriber->missedTick = true;
        return;
    }

    QElapsedTimer clock;
    clock.start();
    auto job = std::make_shared<Job>();
    job->tickMs = now;
    job->picture = m_grabber.grab();
    if (job->picture.isNull())
        return;
    // A video picture painted since the last grab changed what the screen
    // shows: no need to compare 8 MB of pixels to know (with live video,
    // nearly every grab). The print is one no earlier grab had.
    const quint64 painted = platform::CRenderTargetWnd::newPicturesPainted();
    if (painted != m_picturesAtGrab)
        job->freshPrint = (quint64{1} << 63) | ++m_freshPrints;
    m_picturesAtGrab = painted;
    ++m_stats.grabs;
    m_stats.grabMs += static_cast<double>(clock.nsecsElapsed()) / 1e6;
    m_hurry = false;
    for (Subscriber* subscriber : ready) {
        job->pages.emplace_back(subscriber->page);
        job->knownPrints.push_back(subscriber->lastFingerprint);
        job->sentAny.push_back(subscriber->sentAny);
    }
    m_encoding = true;
    QMetaObject::invokeMethod(&m_encoderContext, [this, job] { encode(job); }, Qt::QueuedConnection);
}

void FrameStreamer::encode(const std::shared_ptr<Job>& job)
{
    job->fingerprinted = job->freshPrint == 0;
    job->print = job->fingerprinted ? fingerprint(job->picture) : job->freshPrint;
    bool needed = false;
    for (std::size_t i = 0; i < job->pages.size(); ++i)
        needed = needed || !job->sentAny[i] || job->knownPrints[i] != job->print;
    if (needed) {
        QElapsedTimer clock;
        clock.start();
        job->jpeg = encodeJpeg(job->picture);
        job->encodeMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    }
    job->picture = QImage();  // released here, not on the UI thread's time
    QMetaObject::invokeMethod(this, [this, job] { deliver(job); }, Qt::QueuedConnection);
}

void FrameStreamer::deliver(const std::shared_ptr<Job>& job)
{
    m_encoding = false;
    if (job->fingerprinted)
        ++m_stats.fingerprints;
    if (job->jpeg.isEmpty()) {
        ++m_stats.unchanged;
    } else {
        ++m_stats.encodes;
        m_stats.encodeMs += job->encodeMs;
    }
    const qint64 now = nowMs();
    for (const QPointer<WebSocketConnection>& page : job->pages) {
        Subscriber* subscriber = page.isNull() ? nullptr : find(page);
        if (subscriber == nullptr)
            continue;
        subscriber->missedTick = false;  // this grab served it, changed or not
        if (!page->isOpen() || job->jpeg.isEmpty())
            continue;
        if (subscriber->sentAny && subscriber->lastFingerprint == job->print)
            continue;
        page->sendBinaryMessage(job->jpeg);
        ++m_stats.framesSent;
        m_stats.bytesSent += static_cast<quint64>(job->jpeg.size());
        subscriber->lastFingerprint = job->print;
        subscriber->sentAny = true;
        // The interval counts from the tick that grabbed it, not from now:
        // the encoding's time must not push every frame to the tick after.
        subscriber->lastSentMs = job->tickMs;
        if (subscriber->inFlight++ == 0)
            subscriber->inFlightSinceMs = now;
    }
    // A page held back while this picture was encoded goes on at once, as
    // does input that came meanwhile.
    bool waiting = m_hurry;
    for (Subscriber& subscriber : m_subscribers) {
        waiting = waiting || (subscriber.missedTick && subscriber.inFlight < kFramesInFlight);
    }
    if (waiting)
        QTimer::singleShot(0, this, [this] { onTick(); });
}

QByteArray FrameStreamer::encodeJpeg(const QImage& image)
{
    return encodeJpegFast(image, kJpegQuality);
}

quint64 FrameStreamer::fingerprint(const QImage& image)
{
    // FNV-1a-like mixing of the pixel rows plus the size, in four lanes of
    // 8 bytes so that the multiplications do not wait for one another (a
    // full-HD picture is 8 MB a frame). Each step is a bijection of its
    // lane's state, so a change in any one word always changes the print;
    // changes that cancel out are astronomically rare and cost one frame.
    constexpr quint64 kPrime = 1099511628211ULL;
    quint64 lanes[4] = {1469598103934665603ULL, 0x9E3779B97F4A7C15ULL, 0xC2B2AE3D27D4EB4FULL, 0x165667B19E3779F9ULL};
    auto mix = [&lanes](const uchar* data, qsizetype length) {
        qsizetype i = 0;
        for (; i + 32 <= length; i += 32) {
            quint64 words[4];
            std::memcpy(words, data + i, 32);
            for (int lane = 0; lane < 4; ++lane)
                lanes[lane] = (lanes[lane] ^ words[lane]) * kPrime;
        }
        for (; i < length; ++i)
            lanes[0] = (lanes[0] ^ data[i]) * kPrime;
    };
    const int size[2] = {image.width(), image.height()};
    mix(reinterpret_cast<const uchar*>(size), sizeof size);
    const qsizetype rowBytes = static_cast<qsizetype>(image.width()) * image.depth() / 8;
    for (int y = 0; y < image.height(); ++y)
        mix(image.constScanLine(y), rowBytes);
    quint64 print = lanes[0];
    for (int lane = 1; lane < 4; ++lane)
        print = (print ^ lanes[lane]) * kPrime;
    return print;
}

}  // namespace host
