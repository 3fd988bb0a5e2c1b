// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraSource.h"

#include "DeviceTime.h"
#include "FrameClock.h"
#include "SourceDemuxer.h"

#include <algorithm>
#include <optional>

namespace velk::recorder {

namespace {

using Clock = std::chrono::steady_clock;

std::string secondsText(int ms)
{
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

std::string describe(const CameraFormat& format)
{
    return std::string(format.codec == media::VideoCodec::H265 ? "h265" : "h264") + " " +
           std::to_string(format.width) + "x" + std::to_string(format.height) + " " +
           std::to_string(format.frameRate) + " fps";
}

std::int64_t msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count();
}

}  // namespace

const char* stateName(CameraSource::State state)
{
    switch (state) {
    case CameraSource::State::Waiting: return "waiting";
    case CameraSource::State::Live: return "live";
    case CameraSource::State::Lost: return "lost";
    }
    return "waiting";
}

CameraSource::CameraSource(CameraSourceSettings settings, CameraSourceSink& sink)
    : m_settings(std::move(settings)), m_sink(sink)
{
}

CameraSource::~CameraSource()
{
    stop();
}

void CameraSource::start()
{
    if (m_thread.joinable())
        return;
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void CameraSource::requestStop()
{
    {
        std::lock_guard lock(m_pauseLock);
        m_stop = true;
    }
    m_wake.notify_all();
}

void CameraSource::stop()
{
    requestStop();
    if (m_thread.joinable())
        m_thread.join();
}

CameraSource::Status CameraSource::status() const
{
    std::lock_guard lock(m_statusLock);
    return m_status;
}

void CameraSource::log(const std::string& line) const
{
    if (m_settings.log)
        m_settings.log("channel " + std::to_string(m_settings.channel) +
                       (m_settings.streamType == 0 ? " main" : " sub") + " (" + m_settings.shownAddress + "): " + line);
}

bool CameraSource::pauseUntil(Clock::time_point until)
{
    std::unique_lock lock(m_pauseLock);
    return !m_wake.wait_until(lock, until, [this] { return m_stop.load(); });
}

void CameraSource::run()
{
    FrameClock clock(1, 90000);
    int pauseMs = m_settings.firstPauseMs;
    bool first = true;
    while (!m_stop) {
        if (!first) {
            std::uint64_t attempt = 0;
            {
                std::lock_guard lock(m_statusLock);
                attempt = ++m_status.reconnects;
            }
            log("connecting again (attempt " + std::to_string(attempt) + ")");
        }
        first = false;
        std::int64_t goodMs = 0;
        const std::string reason = connection(clock, goodMs);
        if (m_stop)
            break;
        {
            std::lock_guard lock(m_statusLock);
            m_status.state = State::Lost;
            m_status.lostReason = reason;
        }
        m_sink.onSourceLost(reason);
        if (goodMs >= m_settings.steadyMs)
            pauseMs = m_settings.firstPauseMs;
        log("lost: " + reason + "; trying again in " + secondsText(pauseMs));
        if (!pauseUntil(Clock::now() + std::chrono::milliseconds(pauseMs)))
            break;
        pauseMs = std::min(pauseMs * 2, m_settings.longestPauseMs);
    }
}

std::string CameraSource::connection(FrameClock& clock, std::int64_t& goodMs)
{
    SourceDemuxer demuxer(m_stop);
    std::string reason;
    if (!demuxer.open(m_settings.address, m_settings.openTimeoutMs, reason))
        return m_stop ? std::string() : reason;
    const bool file = demuxer.isFile();
    const std::int64_t interval = demuxer.frameInterval();
    clock.setTimeBase(demuxer.timeBaseNum(), demuxer.timeBaseDen());
    log("connected: " + describe(demuxer.format()));

    // A file plays in real time by its timestamps, and again from the start
    // at its end with them going on from where the last round ended, so
    // that the wall clock moves on without a jump.
    std::int64_t loopOffset = 0;
    // Plain values and flags rather than optionals: GCC 12 warns about
    // optionals of integers read in a loop.
    bool inRound = false;           // a picture of this round was read
    bool played = false;            // a picture of the file was read
    std::int64_t fileStart = 0;     // the file's first timestamp
    std::int64_t roundEnd = 0;      // the end of this round's last picture
    std::int64_t lastRaw = 0;       // the last picture's timestamp in this round
    std::optional<std::int64_t> firstPlayed;  // the timestamp played at playStart
    Clock::time_point playStart;
    std::optional<Clock::time_point> firstPicture;

    DemuxedFrame frame;
    while (true) {
        const SourceDemuxer::Read read = demuxer.read(frame, m_settings.silenceMs, reason);
        if (read == SourceDemuxer::Read::Stopped || m_stop)
            return {};
        if (read == SourceDemuxer::Read::TimedOut)
            return "no picture for " + secondsText(m_settings.silenceMs);
        if (read == SourceDemuxer::Read::Error)
            return reason;
        if (read == SourceDemuxer::Read::End) {
            if (!file)
                return "the stream ended";
            if (!inRound)
                return "the file has no pictures";
            loopOffset += roundEnd - fileStart;
            inRound = false;
            if (!demuxer.rewind(reason) && !demuxer.open(m_settings.address, m_settings.openTimeoutMs, reason))
                return m_stop ? std::string() : reason;
            continue;
        }

        std::optional<std::int64_t> timestamp = frame.dts;
        if (file) {
            // A file's pictures without timestamps follow one another at the nominal rate.
            const std::int64_t raw = frame.dts ? *frame.dts : inRound ? lastRaw + interval : 0;
            lastRaw = raw;
            if (!played) {
                played = true;
                fileStart = raw;
            }
            if (!inRound) {
                inRound = true;
                roundEnd = raw;
            }
            roundEnd = std::max(roundEnd, raw + (frame.duration > 0 ? frame.duration : interval));
            timestamp = raw + loopOffset;
            if (!firstPlayed) {
                firstPlayed = *timestamp;
                playStart = Clock::now();
            }
            const std::int64_t dueUs = demuxer.microseconds(*timestamp - *firstPlayed);
            if (!pauseUntil(playStart + std::chrono::microseconds(dueUs)))
                return {};
        }

        const std::int64_t wallMs = clock.map(timestamp, wallClockMs());
        const Clock::time_point now = Clock::now();
        if (!firstPicture)
            firstPicture = now;
        goodMs = msBetween(*firstPicture, now);
        const std::size_t size = frame.annexB.size();
        const CameraFormat& format = demuxer.format();
        {
            std::lock_guard lock(m_statusLock);
            m_status.state = State::Live;
            ++m_status.frames;
            m_status.keyFrames += frame.key ? 1 : 0;
            m_status.bytes += size;
            m_status.format = format;
        }
        m_sink.onSourceFrame(format, CameraFrame{frame.key, wallMs,
                                                 std::make_shared<const std::vector<std::uint8_t>>(std::move(frame.annexB))});
    }
}

}  // namespace velk::recorder
