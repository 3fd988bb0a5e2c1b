// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadSender.h"

#include "PlaybackMessages.h"

#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/StreamMessages.h"

#include <string>

namespace velk::recorder {

namespace {

// How soon to look again when the reader's source is not ready yet.
constexpr auto kRetryInterval = std::chrono::milliseconds(10);
// Frames counted per turn of the I/O thread, so a long clip does not hold
// every other connection up while it is counted.
constexpr int kCountBatch = 2000;
// Frames are handed to the connection in batches of about this many bytes.
constexpr std::size_t kBatchBytes = 64 * 1024;
// Each frame goes out as a media frame of the framing.
const FrameFraming kFraming{proto::kFrameHeaderBytes, [](char* header, std::size_t frameBytes) {
                                proto::putFrameHeader(header, proto::FrameType::Media,
                                                      static_cast<std::uint32_t>(frameBytes));
                            }};

}  // namespace

DownloadSender::DownloadSender(boost::asio::any_io_executor executor, const RecordingCatalog& catalog,
                               StreamSink& sink, RecordSpan span, std::int64_t fromMs, std::int64_t toMs)
    : m_timer(executor), m_sink(&sink), m_catalog(catalog), m_span(std::move(span)), m_fromMs(fromMs), m_toMs(toMs)
{
}

void DownloadSender::start(std::chrono::steady_clock::time_point notBefore, Counted counted, Failed failed)
{
    m_onCounted = std::move(counted);
    m_onFailed = std::move(failed);
    const auto filter = m_span.type == RecordType::Alarm ? RecordTypeFilter::AlarmOnly : RecordTypeFilter::NormalOnly;
    // The reader covers the span only, so the clip never reaches into a
    // neighbouring recording.
    m_reader = m_catalog.openReader(m_span.channel, m_span.startMs, m_span.endMs, filter);
    if (m_reader)
        m_reader->seek(m_fromMs);
    if (std::chrono::steady_clock::now() < notBefore) {
        m_timerSet = true;
        m_timer.expires_at(notBefore);
        std::weak_ptr<DownloadSender> weak = weak_from_this();
        m_timer.async_wait([weak](const boost::system::error_code& error) {
            auto self = weak.lock();
            if (!self)
                return;
            self->m_timerSet = false;
            if (!error)
                self->count();
        });
        return;
    }
    count();
}

std::optional<bool> DownloadSender::nextFrame(FrameReader& reader, RecordedFrame& frame)
{
    if (!reader.frameReady())
        return std::nullopt;
    auto next = reader.next();
    if (!next || next->timeMs >= m_toMs)
        return false;
    frame = std::move(*next);
    return true;
}

void DownloadSender::count()
{
    if (!m_sink || m_counted)
        return;
    if (!m_walking) {
        // Most readers tell the clip's size without building its frames.
        if (const auto size = m_reader ? m_reader->countBefore(m_toMs) : std::optional<FrameCount>(FrameCount{})) {
            m_totalBytes = size->bytes;
            m_totalFrames = size->frames;
            counted();
            return;
        }
        // Otherwise a second reader walks the clip once first.
        const auto filter =
            m_span.type == RecordType::Alarm ? RecordTypeFilter::AlarmOnly : RecordTypeFilter::NormalOnly;
        m_counter = m_catalog.openReader(m_span.channel, m_span.startMs, m_span.endMs, filter);
        if (m_counter)
            m_counter->seek(m_fromMs);
        m_walking = true;
    }
    RecordedFrame frame;
    for (int i = 0; m_counter && i < kCountBatch; ++i) {
        const auto more = nextFrame(*m_counter, frame);
        if (!more) {
            retryLater(&DownloadSender::count);
            return;
        }
        if (!*more) {
            m_counter.reset();
            break;
        }
        m_totalBytes += frame.bytes.size();
        ++m_totalFrames;
    }
    if (m_counter) {
        // The next batch, after others had their turn (at once: a wait here
        // would add up over a long clip's many batches).
        std::weak_ptr<DownloadSender> weak = weak_from_this();
        boost::asio::post(m_timer.get_executor(), [weak] {
            if (auto self = weak.lock())
                self->count();
        });
        return;
    }
    counted();
}

void DownloadSender::counted()
{
    m_counted = true;
    if (m_onCounted)
        m_onCounted(m_totalBytes, m_totalFrames);
    pump();
}

void DownloadSender::failMidway()
{
    m_failMidway = true;
    if (m_counted)
        pump();
}

void DownloadSender::writable()
{
    if (m_counted)
        pump();
}

void DownloadSender::setPace(std::uint64_t bytesPerSecond)
{
    m_paceBytesPerSecond = bytesPerSecond;
    m_paceSince = std::chrono::steady_clock::now();
    m_sentBeforePace = m_sentBytes;
    if (m_counted)
        pump();
}

bool DownloadSender::aheadOfPace() const
{
    if (m_paceBytesPerSecond == 0)
        return false;
    const auto elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - m_paceSince)
                               .count();
    const std::uint64_t allowed = static_cast<std::uint64_t>(elapsedMs) * m_paceBytesPerSecond / 1000;
    return m_sentBytes - m_sentBeforePace >= allowed;
}

void DownloadSender::stop()
{
    m_sink = nullptr;
    m_timer.cancel();
}

void DownloadSender::fail()
{
    Json::Value params(Json::objectValue);
    params["code"] = proto::kDetailInternal;
    m_sink->sendMessage(proto::Message::notify(proto::kEventDownloadError, params));
    m_sink = nullptr;
    m_timer.cancel();
    if (m_onFailed)
        m_onFailed();
}

void DownloadSender::pump()
{
    if (m_pumping)
        return;
    m_pumping = true;
    // Frames go to the connection in batches: one queue entry (and one
    // allocation) for many small frames, each built straight into the batch
    // behind its framing header. The bytes on the wire are the same.
    std::string batch;
    const auto flush = [&] {
        if (!batch.empty() && m_sink)
            m_sink->sendMediaFrame(std::move(batch));
        batch = std::string();
    };
    while (m_sink && !m_endSent && !m_sink->frozen() && m_sink->unsentBytes() + batch.size() < kQueueLimitBytes) {
        if (m_failMidway && m_sentBytes * 2 >= m_totalBytes && m_totalBytes > 0) {
            flush();
            fail();
            break;
        }
        if (aheadOfPace()) {
            flush();
            retryLater(&DownloadSender::pump);
            break;
        }
        if (batch.empty())
            batch.reserve(kBatchBytes + 64 * 1024);
        // A batch's frames at once (one at a time while the fault above
        // waits for its moment, so it comes at half the clip however short,
        // and while paced, so the pace holds frame by frame).
        const std::size_t before = batch.size();
        const std::size_t until = m_failMidway || m_paceBytesPerSecond > 0 ? before + 1 : kBatchBytes;
        std::uint64_t frames = 0;
        const AppendResult result =
            m_reader ? m_reader->appendFrames(m_toMs, batch, until, kFraming, frames) : AppendResult::End;
        m_sentBytes += batch.size() - before - frames * proto::kFrameHeaderBytes;
        if (result == AppendResult::Appended) {
            if (batch.size() >= kBatchBytes)
                flush();
            continue;
        }
        flush();
        if (result == AppendResult::NotReady) {
            retryLater(&DownloadSender::pump);
        } else {
            m_endSent = true;
            m_sink->sendMessage(proto::Message::notify(proto::kEventDownloadEnd));
        }
        break;
    }
    flush();
    m_pumping = false;
}

void DownloadSender::retryLater(void (DownloadSender::*step)())
{
    if (m_timerSet)
        return;
    m_timerSet = true;
    m_timer.expires_after(kRetryInterval);
    std::weak_ptr<DownloadSender> weak = weak_from_this();
    m_timer.async_wait([weak, step](const boost::system::error_code& error) {
        auto self = weak.lock();
        if (!self)
            return;
        self->m_timerSet = false;
        if (!error)
            ((*self).*step)();
    });
}

}  // namespace velk::recorder
