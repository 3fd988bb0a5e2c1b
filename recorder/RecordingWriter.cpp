// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingWriter.h"

#include "SegmentNames.h"
#include "StoredRecordings.h"

#include "proto/RecordFile.h"

#include <system_error>

namespace velk::recorder {

namespace fs = std::filesystem;

namespace {

std::int64_t wallNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

RecordingWriter::RecordingWriter(RecordingWriterSettings settings, SegmentTable& table)
    : m_settings(std::move(settings)), m_table(table)
{
}

RecordingWriter::~RecordingWriter()
{
    stop();
}

void RecordingWriter::start()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
}

void RecordingWriter::stop()
{
    {
        std::lock_guard lock(m_queueLock);
        m_stopping = true;
    }
    m_queueChanged.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool RecordingWriter::enqueue(Job job)
{
    {
        std::lock_guard lock(m_queueLock);
        if (m_stopping || (job.kind == JobKind::Frame && m_queuedBytes + job.frame.size() > m_settings.queueBytes))
            return false;
        m_queuedBytes += job.frame.size();
        m_queue.push_back(std::move(job));
    }
    m_queueChanged.notify_one();
    return true;
}

bool RecordingWriter::push(std::uint32_t channel, RecordType type, std::int64_t timeMs, bool key,
                           std::vector<std::uint8_t> frame)
{
    Job job;
    job.channel = channel;
    job.type = type;
    job.timeMs = timeMs;
    job.key = key;
    job.frame = std::move(frame);
    bool& dropping = m_dropping[channel];
    if (enqueue(std::move(job))) {
        dropping = false;
        return true;
    }
    updateStatus(channel, [](ChannelRecordingStatus& s) { ++s.framesDropped; });
    if (!dropping && m_settings.log)
        m_settings.log("channel " + std::to_string(channel) + ": the disk does not keep up; frames are dropped");
    dropping = true;
    return false;
}

void RecordingWriter::finish(std::uint32_t channel)
{
    Job job;
    job.kind = JobKind::Finish;
    job.channel = channel;
    enqueue(std::move(job));
}

void RecordingWriter::retain()
{
    Job job;
    job.kind = JobKind::Retain;
    enqueue(std::move(job));
}

std::map<std::uint32_t, ChannelRecordingStatus> RecordingWriter::status() const
{
    std::lock_guard lock(m_statusLock);
    return m_status;
}

void RecordingWriter::updateStatus(std::uint32_t channel, const std::function<void(ChannelRecordingStatus&)>& change)
{
    std::lock_guard lock(m_statusLock);
    change(m_status[channel]);
}

void RecordingWriter::run()
{
    for (const auto& summary : scanRecordings(m_settings.root, true, m_settings.log))
        m_table.publish(summary);
    applyRetention();
    m_ready.store(true, std::memory_order_release);

    std::deque<Job> batch;
    for (;;) {
        bool stopping = false;
        {
            std::unique_lock lock(m_queueLock);
            m_queueChanged.wait_for(lock, std::chrono::milliseconds(200),
                                    [this] { return m_stopping || !m_queue.empty(); });
            batch.swap(m_queue);
            m_queuedBytes = 0;
            stopping = m_stopping;
        }
        for (auto& job : batch) {
            switch (job.kind) {
            case JobKind::Frame:
                handleFrame(job);
                break;
            case JobKind::Finish:
                if (auto it = m_channels.find(job.channel); it != m_channels.end() && it->second.writer) {
                    std::string error;
                    if (!finishSegment(job.channel, it->second, error))
                        failSegment(job.channel, it->second, error);
                }
                break;
            case JobKind::Retain:
                applyRetention();
                break;
            }
        }
        batch.clear();
        syncDue(false);
        if (stopping)
            break;
    }
    for (auto& [channel, c] : m_channels) {
        std::string error;
        if (c.writer && !finishSegment(channel, c, error) && m_settings.log)
            m_settings.log("channel " + std::to_string(channel) + ": " + error);
    }
}

void RecordingWriter::handleFrame(Job& job)
{
    Channel& c = m_channels[job.channel];
    const auto now = Clock::now();
    const auto drop = [&] { updateStatus(job.channel, [](ChannelRecordingStatus& s) { ++s.framesDropped; }); };
    if (c.writer) {
        const bool typeChanged = c.writer->type() != job.type;
        const bool full = job.timeMs - c.writer->startMs() >= m_settings.segmentMs;
        const bool brokenOff = c.writer->hasFrames() &&
                               (job.timeMs - c.writer->lastMs() > m_settings.gapMs || job.timeMs < c.writer->lastMs());
        if (typeChanged || brokenOff || (job.key && (full || localDayText(job.timeMs) != c.day))) {
            std::string error;
            if (!finishSegment(job.channel, c, error)) {
                failSegment(job.channel, c, error);
                return drop();
            }
            if (!job.key)
                return drop();  // a segment always begins with a key frame
        }
    }
    if (!c.writer) {
        if (!job.key || now < c.retryAt)
            return drop();
        std::string relative;
        std::error_code ec;
        for (int serial = 1;; ++serial) {
            relative = segmentRelativePath(job.channel, job.timeMs, job.type, serial);
            if (!fs::exists(m_settings.root / relative, ec))
                break;
        }
        std::string error;
        c.writer = SegmentWriter::create(m_settings.root, relative, job.channel, job.type, &m_fault, error);
        if (!c.writer) {
            failSegment(job.channel, c, error);
            return drop();
        }
        c.day = localDayText(job.timeMs);
        c.lastSync = now;
        publishOpen(*c.writer);
        updateStatus(job.channel, [&](ChannelRecordingStatus& s) {
            s.recording = true;
            s.type = job.type;
            s.segment = relative;
        });
    }
    std::string error;
    if (!c.writer->append(job.frame, job.timeMs, job.key, error)) {
        failSegment(job.channel, c, error);
        return drop();
    }
    updateStatus(job.channel, [&](ChannelRecordingStatus& s) {
        s.bytesWritten += job.frame.size();
        ++s.framesWritten;
    });
}

void RecordingWriter::publishOpen(const SegmentWriter& writer)
{
    SegmentSummary s;
    s.channel = writer.channel();
    s.type = writer.type();
    s.path = writer.relativePath();
    s.startMs = writer.startMs();
    s.endMs = writer.syncedEndMs();
    s.dataEnd = writer.syncedEnd();
    s.indexBytes = writer.indexBytes();
    s.finished = false;
    if (!writer.hasFrames())
        s.startMs = s.endMs = wallNowMs();
    m_table.publish(s);
}

void RecordingWriter::syncDue(bool all)
{
    const auto now = Clock::now();
    for (auto& [channel, c] : m_channels) {
        if (!c.writer || (!all && now - c.lastSync < std::chrono::milliseconds(m_settings.syncIntervalMs)))
            continue;
        c.lastSync = now;
        std::string error;
        if (!c.writer->sync(error)) {
            failSegment(channel, c, error);
            continue;
        }
        publishOpen(*c.writer);
    }
}

bool RecordingWriter::finishSegment(std::uint32_t channel, Channel& c, std::string& error)
{
    const bool ok = c.writer->finish(error);
    if (c.writer->hasFrames()) {
        SegmentSummary s;
        s.channel = channel;
        s.type = c.writer->type();
        s.path = c.writer->relativePath();
        s.startMs = c.writer->startMs();
        s.endMs = c.writer->syncedEndMs();
        s.dataEnd = c.writer->syncedEnd();
        std::error_code ec;
        s.indexBytes = fs::file_size(m_settings.root / indexPathOf(s.path), ec);
        s.finished = ok;
        if (s.dataEnd > recordfile::kDataOffset)
            m_table.publish(s);
        else
            m_table.remove(channel, s.path);
    } else {
        m_table.remove(channel, c.writer->relativePath());
    }
    c.writer.reset();
    updateStatus(channel, [&](ChannelRecordingStatus& s) {
        s.recording = false;
        s.segment.clear();
    });
    applyRetention();
    return ok;
}

void RecordingWriter::failSegment(std::uint32_t channel, Channel& c, const std::string& error)
{
    if (m_settings.log)
        m_settings.log("channel " + std::to_string(channel) + ": recording stopped: " + error + "; next try in " +
                       std::to_string(m_settings.retryMs / 1000) + " s");
    updateStatus(channel, [&](ChannelRecordingStatus& s) {
        ++s.writeErrors;
        s.lastError = error;
    });
    std::string finishError;
    if (c.writer)
        finishSegment(channel, c, finishError);  // its failure is the one just told
    c.retryAt = Clock::now() + std::chrono::milliseconds(m_settings.retryMs);
}

void RecordingWriter::applyRetention()
{
    const auto segments = m_table.all();
    std::vector<RetentionItem> items;
    items.reserve(segments.size());
    for (const auto& s : segments)
        items.push_back(RetentionItem{s.startMs, s.endMs, s.dataEnd + s.indexBytes, s.finished});
    for (const std::size_t i : chooseExpired(items, wallNowMs(), m_settings.retention)) {
        const auto& s = segments[i];
        m_table.remove(s.channel, s.path);
        std::error_code ec;
        fs::remove(m_settings.root / s.path, ec);
        fs::remove(m_settings.root / indexPathOf(s.path), ec);
        const fs::path day = (m_settings.root / s.path).parent_path();
        if (fs::is_empty(day, ec))
            fs::remove(day, ec);
    }
}

}  // namespace velk::recorder
