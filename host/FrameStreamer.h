// SPDX-License-Identifier: GPL-3.0-or-later
// Streams what the user sees of the control to subscribed pages as JPEG
// frames (binary WebSocket messages), only when the picture changed.
//
// Flow control: a page has at most kFramesInFlight frames it has not
// acknowledged. After drawing each frame it sends `$ack`; with none left to
// send it gets nothing more, so a slow page gets fewer frames and never a
// growing queue. Two in flight let the page decode one frame while the
// next is grabbed, encoded and sent, instead of each waiting for the other.
// One grab and one encoding serve every page that is ready on a tick.
//
// Threads: grabbing paints widgets, so it runs on the UI thread; the
// fingerprint and the JPEG encoding (the larger part at full HD) run on the
// streamer's encoder thread, one picture at a time, and the result comes
// back to the UI thread as a queued call, where it is sent. Ticks while a
// picture is being encoded grab nothing (counted as heldForEncoder).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <memory>

#include <vector>

namespace host {

class ScreenGrabber;
class WebSocketConnection;

class FrameStreamer : public QObject {
public:
    static constexpr int kMaxFps = 25;
    static constexpr int kJpegQuality = 75;
    static constexpr int kFramesInFlight = 2;
    // A frame not acknowledged within this time is taken as lost, so that a
    // page that dropped an ack is not starved for ever.
    static constexpr int kAckTimeoutMs = 5000;

    explicit FrameStreamer(const ScreenGrabber& grabber, QObject* parent = nullptr);
    // Waits for a picture being encoded (the encoder thread only posts to
    // this thread, never waits for it).
    ~FrameStreamer() override;

    // Subscribes (fps > 0, clamped to 1..25) or unsubscribes (fps 0) a page.
    // A new subscription gets the current picture at once. UI thread only.
    void subscribe(WebSocketConnection* page, int fps);
    // The page has received the frame sent last. UI thread only.
    void acknowledge(WebSocketConnection* page);
    // Forgets the last picture so that every page gets the next one (after
    // a resize). UI thread only.
    void invalidate();
    // Input changed the picture, perhaps: grab as soon as the event loop
    // has run, without waiting for the next tick of the frame rate (the
    // frames in flight still count). UI thread only.
    void hurry();

    // What the streamer did since it was made: for pages that want to know
    // where their frames went, and for benchmarks.
    struct Stats {
        quint64 ticks = 0;           // timer ticks with at least one subscriber
        quint64 heldForAck = 0;      // a page skipped on a tick: its last frame not yet acknowledged
        quint64 heldForQueue = 0;    // a page skipped on a tick: its socket still holds too much
        quint64 heldForEncoder = 0;  // a tick with nothing grabbed: the last picture is still being encoded
        quint64 grabs = 0;           // pictures grabbed
        quint64 unchanged = 0;       // grabs that no page needed (the picture had not changed)
        quint64 fingerprints = 0;    // grabs compared by their pixels (no new video picture painted since the last)
        quint64 encodes = 0;         // JPEGs made
        quint64 framesSent = 0;      // frames sent, over all pages
        quint64 bytesSent = 0;
        double grabMs = 0;           // time spent grabbing, in total
        double encodeMs = 0;         // time spent encoding, in total
    };
    const Stats& stats() const { return m_stats; }

    // JPEG of an image at the stream's quality. Any thread.
    static QByteArray encodeJpeg(const QImage& image);
    // A cheap fingerprint of a picture's pixels. Any thread.
    static quint64 fingerprint(const QImage& image);

private:
    struct Subscriber {
        QPointer<WebSocketConnection> page;
        int intervalMs = 40;
        qint64 lastSentMs = -1000000;
        qint64 inFlightSinceMs = -1;  // when the oldest frame in flight was sent; -1: none
        int inFlight = 0;             // frames sent and not yet acknowledged
        quint64 lastFingerprint = 0;
        bool sentAny = false;
        bool missedTick = false;  // a tick passed while a frame was in flight
    };

    // A picture for the encoder thread, and what it sends back.
    struct Job {
        QImage picture;
        std::vector<QPointer<WebSocketConnection>> pages;  // ready on the tick
        std::vector<quint64> knownPrints;                  // what each already has (0 and !sentAny: nothing)
        std::vector<bool> sentAny;
        qint64 tickMs = 0;  // when the picture was grabbed: the pages' frame intervals count from it
        quint64 print = 0;
        quint64 freshPrint = 0;     // the print when new video pictures were painted since the last grab, else 0
        bool fingerprinted = false;
        QByteArray jpeg;  // empty when no page needed this picture
        double encodeMs = 0;
    };

    void onTick();
    void updateTimer();
    void encode(const std::shared_ptr<Job>& job);  // encoder thread
    void deliver(const std::shared_ptr<Job>& job);  // UI thread
    Subscriber* find(WebSocketConnection* page);

    const ScreenGrabber& m_grabber;
    QTimer m_timer;
    Stats m_stats;
    QThread m_encoderThread;
    QObject m_encoderContext;  // lives on the encoder thread: queued calls run there
    bool m_encoding = false;   // a job is on the encoder thread; UI thread only
    quint64 m_picturesAtGrab = 0;  // new pictures painted in the process at the last grab
    quint64 m_freshPrints = 0;     // prints given to grabs known to have changed
    bool m_hurry = false;      // input came: the next tick ignores the frame interval; UI thread only
    std::vector<Subscriber> m_subscribers;  // UI thread only
};

}  // namespace host
