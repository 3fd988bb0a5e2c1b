// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/SubPicture.h"

#include "platform/RenderTarget.h"

#include <QString>

#include <algorithm>
#include <system_error>

#include <time.h>

namespace mivu {

namespace {

// Live: about two seconds at 25 pictures a second before the UI or the
// decoder counts as fallen behind. Playback: the feeder holds back beyond.
constexpr std::size_t kLiveMaxFrames = 50;
constexpr std::size_t kPlaybackMaxFrames = 100;
constexpr std::size_t kMaxQueuedBytes = 16 * 1024 * 1024;
constexpr int kMaxStepCredits = 1000;
// How often a picture held back by another sub-picture's decoding looks again.
constexpr std::chrono::milliseconds kHeldBackPoll{2};

// Frame times made up for frames without a time item carry this bit, so the
// window is told "no frame time" while pacing still has one.
constexpr std::int64_t kMadeUpTimeBit = std::int64_t(1) << 62;

thread_local const SubPicture* t_current = nullptr;

// CPU time of the calling thread, for the statistics.
std::uint64_t threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::uint64_t(now.tv_sec) * 1'000'000 + std::uint64_t(now.tv_nsec) / 1000;
}

}  // namespace

SubPicture::SubPicture(DecoderSettings& settings, platform::WindowHandle target, std::size_t slot)
    : m_settings(settings),
      m_target(target),
      m_slot(slot),
      m_live(settings.mode == StreamMode::Live),
      m_queue(m_live ? kLiveMaxFrames : kPlaybackMaxFrames, kMaxQueuedBytes,
              m_live ? FrameQueue::Overflow::DropUntilKeyFrame : FrameQueue::Overflow::Refuse),
      m_video(m_live),
      m_spare(av_frame_alloc()),
      m_lastShown(av_frame_alloc())
{
}

SubPicture::~SubPicture()
{
    stop();
}

bool SubPicture::start()
{
    if (!m_spare || !m_lastShown || !m_video.isOpen())
        return false;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SubPicture::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_stopping = true;
        m_queue.clear();
    }
    m_queueChanged.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_sound->closeOutput();
}

bool SubPicture::isOwnThread() const
{
    return t_current == this;
}

std::int32_t SubPicture::input(std::span<const std::uint8_t> data)
{
    const auto view = media::parseFrame(data);
    if (!view || view->totalBytes != data.size())
        return MIVU_ERR_ARGUMENT;
    // An empty packet would tell libavcodec that the stream ended.
    if (view->payload.empty())
        return MIVU_OK;
    switch (view->kind) {
    case media::MediaKind::VideoKey:
    case media::MediaKind::VideoDelta:
        break;
    case media::MediaKind::AudioMuLaw:
    case media::MediaKind::AudioALaw:
        if (!m_sound->isOn())
            return MIVU_OK;  // nobody would hear it
        break;
    default:
        return MIVU_OK;  // a kind this decoder does not know: skipped
    }
    auto frame = makeQueuedFrame(*view);
    if (!frame)
        return MIVU_ERR_RESOURCE;
    FrameQueue::Push pushed = FrameQueue::Push::Dropped;
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        if (m_stopping)
            return MIVU_OK;
        pushed = m_queue.push(std::move(*frame));
        if (pushed == FrameQueue::Push::Queued)
            publishPendingLocked();
    }
    if (pushed == FrameQueue::Push::Queued)
        m_queueChanged.notify_all();
    return pushed == FrameQueue::Push::Refused ? MIVU_ERR_BUSY : MIVU_OK;
}

void SubPicture::reset()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_queue.clear();
        m_resetPending = true;
        publishPendingLocked();
    }
    m_queueChanged.notify_all();
}

void SubPicture::wake()
{
    {
        // Taking the lock orders the caller's changes before the waiter's
        // next look.
        std::lock_guard<std::mutex> lock(m_queueLock);
    }
    m_queueChanged.notify_all();
}

void SubPicture::setStepCredits(int count, bool add)
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_stepCredits = add ? std::min(m_stepCredits + count, kMaxStepCredits) : 0;
    }
    m_queueChanged.notify_all();
}

std::int32_t SubPicture::capture(const char* path) const
{
    FramePtr picture(av_frame_alloc());
    if (!picture)
        return MIVU_ERR_RESOURCE;
    {
        std::lock_guard<std::mutex> lock(m_lastShownLock);
        if (m_lastShown->buf[0] == nullptr)
            return MIVU_ERR_NO_PICTURE;
        if (av_frame_ref(picture.get(), m_lastShown.get()) < 0)
            return MIVU_ERR_RESOURCE;
    }
    PictureConverter converter;
    const QImage* image = converter.convert(picture.get());
    if (image == nullptr)
        return MIVU_ERR_RESOURCE;
    return image->save(QString::fromUtf8(path), "BMP") ? MIVU_OK : MIVU_ERR_WRITE;
}

MIVU_Statistics SubPicture::statistics() const
{
    MIVU_Statistics s{};
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        s.framesQueued = m_queue.queuedCount();
        s.framesDropped = m_queue.droppedCount();
        s.framesPending = m_queue.size();
    }
    s.picturesDecoded = m_picturesDecoded.load();
    s.picturesPresented = m_picturesPresented.load();
    s.picturesNotPresented = m_picturesNotPresented.load();
    s.decodeErrors = m_decodeErrors.load();
    s.decodeCpuUs = m_decodeCpuUs.load();
    s.threadCpuUs = m_threadCpuUs.load();
    s.width = m_width.load();
    s.height = m_height.load();
    s.shownFrameTimeMs = m_shownFrameTimeMs.load();
    return s;
}

void SubPicture::run()
{
    t_current = this;
    QueuedFrame frame;
    bool flush = false;
    while (takeFrame(frame, flush)) {
        if (flush) {
            m_video.flush();
            m_pictureTimes.clear();
            m_haveFrameTime = false;
            continue;
        }
        if (media::isVideo(frame.kind))
            decodeVideo(frame);
        else
            playAudio(frame);
        frame.packet.reset();
        m_threadCpuUs.store(threadCpuUs());
    }
    t_current = nullptr;
}

bool SubPicture::mayTakeFrameLocked() const
{
    return m_live || !m_settings.paused.load() || m_stepCredits > 0;
}

bool SubPicture::takeFrame(QueuedFrame& frame, bool& flush)
{
    std::unique_lock<std::mutex> lock(m_queueLock);
    m_queueChanged.wait(lock, [this] {
        return m_stopping || m_resetPending || (!m_queue.empty() && mayTakeFrameLocked());
    });
    if (m_stopping)
        return false;
    flush = m_resetPending;
    if (flush) {
        m_resetPending = false;
        return true;
    }
    frame = std::move(*m_queue.pop());
    // Until it is shown (or found undecodable), it holds the other
    // sub-pictures' later pictures back.
    if (media::isVideo(frame.kind) && frame.timeMs)
        m_decodingTimeMs = frame.timeMs;
    publishPendingLocked();
    return true;
}

void SubPicture::publishPendingLocked()
{
    if (!m_live)
        m_settings.clock.setPending(m_slot, m_decodingTimeMs ? m_decodingTimeMs : m_queue.firstVideoTimeMs());
}

void SubPicture::decodeVideo(QueuedFrame& frame)
{
    if (frame.frameRate != 0)
        m_frameRate = frame.frameRate;
    std::int64_t pts = 0;
    if (frame.timeMs) {
        m_lastFrameTimeMs = *frame.timeMs;
        pts = static_cast<std::int64_t>(m_lastFrameTimeMs);
    } else {
        if (m_haveFrameTime)
            m_lastFrameTimeMs += 1000u / m_frameRate;
        pts = static_cast<std::int64_t>(m_lastFrameTimeMs) | kMadeUpTimeBit;
    }
    m_haveFrameTime = true;
    frame.packet->pts = pts;
    m_showCpuUs = 0;
    const std::uint64_t startUs = threadCpuUs();
    followCodec(frame);
    m_pictureTimes.sent(pts);
    const int errors = m_video.decode(frame.packet.get(), [this](AVFrame* picture) { pictureOut(picture); });
    m_pictureTimes.trim(m_video.reorderDepth());
    if (!m_live) {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_decodingTimeMs.reset();
        publishPendingLocked();
    }
    m_decodeCpuUs.fetch_add(threadCpuUs() - startUs - m_showCpuUs);
    if (errors > 0)
        m_decodeErrors.fetch_add(static_cast<std::uint64_t>(errors));
}

void SubPicture::followCodec(const QueuedFrame& frame)
{
    if (frame.kind != media::MediaKind::VideoKey || !frame.codec || *frame.codec == m_video.codec())
        return;
    if (!m_video.reopen(*frame.codec, [this](AVFrame* picture) { pictureOut(picture); }))
        m_decodeErrors.fetch_add(1);  // every frame of that codec then counts as an error too
    m_pictureTimes.clear();
}

void SubPicture::pictureOut(AVFrame* picture)
{
    const std::uint64_t showStartUs = threadCpuUs();
    showPicture(picture, m_pictureTimes.take().value_or(picture->best_effort_timestamp));
    m_showCpuUs += threadCpuUs() - showStartUs;
}

void SubPicture::showPicture(AVFrame* picture, std::int64_t pts)
{
    m_picturesDecoded.fetch_add(1);
    m_width.store(picture->width);
    m_height.store(picture->height);
    // Straight to the window's size, so that it only copies the picture;
    // at the picture's own size while a drawing callback draws on it in
    // the picture's pixels.
    const QSize windowSize = m_settings.osd.isSet() ? QSize() : platform::renderTargetSize(m_target);
    QImage* image = m_converter.convert(picture, windowSize);
    if (image == nullptr) {
        m_decodeErrors.fetch_add(1);
        return;
    }
    const bool madeUp = pts == AV_NOPTS_VALUE || (pts & kMadeUpTimeBit) != 0;
    const std::uint64_t paceTimeMs = pts == AV_NOPTS_VALUE ? 0 : static_cast<std::uint64_t>(pts & ~kMadeUpTimeBit);
    if (!m_live && !waitUntilDue(paceTimeMs))
        return;

    m_settings.osd.draw(*image);
    if (platform::presentPicture(m_target, platform::PresentedPicture{*image, madeUp ? 0 : paceTimeMs}))
        m_picturesPresented.fetch_add(1);
    else
        m_picturesNotPresented.fetch_add(1);
    m_shownFrameTimeMs.store(paceTimeMs);
    if (!m_live) {
        // A picture from before a reset (shown while the reset came) must
        // not count as the playback's time after it.
        std::lock_guard<std::mutex> lock(m_queueLock);
        if (!m_resetPending)
            m_settings.clock.shown(paceTimeMs);
    }

    // Keep the picture as decoded for captures; the old one is let go
    // outside the lock.
    av_frame_move_ref(m_spare.get(), picture);
    {
        std::lock_guard<std::mutex> lock(m_lastShownLock);
        std::swap(m_lastShown, m_spare);
    }
    av_frame_unref(m_spare.get());
}

bool SubPicture::waitUntilDue(std::uint64_t frameTimeMs)
{
    std::unique_lock<std::mutex> lock(m_queueLock);
    for (;;) {
        if (m_stopping || m_resetPending)
            return false;
        if (m_settings.paused.load()) {
            if (m_stepCredits > 0) {
                --m_stepCredits;
                return true;
            }
            m_queueChanged.wait(lock);
            continue;
        }
        const auto now = PlaybackClock::Clock::now();
        const auto due = m_settings.clock.dueTime(frameTimeMs, now);
        if (due <= now) {
            if (!m_settings.clock.heldBack(m_slot, frameTimeMs))
                return true;
            // Another sub-picture has an older picture still to show: it
            // shows first (a short look again; it tells nobody).
            m_queueChanged.wait_until(lock, now + kHeldBackPoll);
            continue;
        }
        // The shared clock may move meanwhile (another sub-picture
        // re-anchored it, or a gap is jumped): look again soon.
        m_queueChanged.wait_until(lock, std::min(due, now + PlaybackClock::kGapQuiet));
    }
}

void SubPicture::playAudio(QueuedFrame& frame)
{
    if (!m_sound->isOn())
        return;
    if (!m_live) {
        const std::int32_t speed = m_settings.speedCode.load();
        if (m_settings.paused.load() || (speed != 1 && speed != -1))
            return;
    }
    m_samples.clear();
    if (!m_audio.decode(frame.kind, frame.packet.get(), m_samples)) {
        m_decodeErrors.fetch_add(1);
        return;
    }
    m_sound->play(m_samples);
}

}  // namespace mivu
