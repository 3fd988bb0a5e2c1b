// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoredRecordings.h"

#include "SegmentIndex.h"
#include "SegmentNames.h"
#include "SegmentScan.h"

#include "proto/RecordFile.h"

#include <algorithm>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace velk::recorder {

namespace {

namespace fs = std::filesystem;

bool overlaps(const SegmentSummary& s, std::int64_t fromMs, std::int64_t toMs)
{
    return s.endMs > fromMs && s.startMs < toMs && s.dataEnd > recordfile::kDataOffset;
}

// What one segment file holds; nothing when it is not one of ours or holds
// no frame.
std::optional<SegmentSummary> summaryOf(const fs::path& root, const std::string& path, const SegmentName& name,
                                        bool recover, const std::function<void(const std::string&)>& log)
{
    const fs::path file = root / path;
    const fs::path indexFile = root / indexPathOf(path);
    std::error_code ec;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return std::nullopt;
    DescriptorSource source(fd);
    std::vector<std::uint8_t> header(recordfile::kHeaderBytes);
    const bool headerRead = source.readAt(0, header.data(), header.size()) == header.size();
    const auto parsed = recordfile::parseHeader(header);
    SegmentSummary summary;
    summary.channel = name.channel;
    summary.type = name.type;
    summary.path = path;
    if (!headerRead || parsed.state == recordfile::HeaderState::Missing) {
        ::close(fd);
        if (recover) {
            const Recovery recovery = recoverSegment(file, name.channel);
            if (recovery.empty) {
                fs::remove(file, ec);
                fs::remove(indexFile, ec);
                if (log)
                    log("removed empty unfinished segment " + path);
                return std::nullopt;
            }
            if (log)
                log(recovery.ok ? "recovered unfinished segment " + path + " (" + std::to_string(recovery.walk.frames) +
                                      " frames)"
                                : recovery.message);
            if (!recovery.walk.firstMs || !recovery.walk.index.extent)
                return std::nullopt;
            summary.startMs = *recovery.walk.firstMs;
            summary.endMs = recovery.walk.index.extent->endMs;
            summary.dataEnd = recovery.walk.index.extent->dataEnd;
            summary.finished = recovery.ok;
            summary.indexBytes = fs::file_size(indexFile, ec);
            return summary;
        }
        const int again = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (again < 0)
            return std::nullopt;
        DescriptorSource walkSource(again);
        const SegmentWalk walk = walkSegment(walkSource, walkSource.size(), name.channel);
        ::close(again);
        if (!walk.firstMs || !walk.index.extent)
            return std::nullopt;
        summary.startMs = *walk.firstMs;
        summary.endMs = walk.index.extent->endMs;
        summary.dataEnd = walk.index.extent->dataEnd;
        return summary;
    }
    if (parsed.state != recordfile::HeaderState::Valid || parsed.channel != static_cast<int>(name.channel)) {
        ::close(fd);
        return std::nullopt;
    }
    const auto index = readIndexFile(indexFile);
    if (index && index->extent && index->extent->dataEnd == source.size() && !index->keys.empty()) {
        summary.startMs = index->keys.front().timeMs;
        summary.endMs = index->extent->endMs;
        summary.dataEnd = index->extent->dataEnd;
    } else {
        const SegmentWalk walk = walkSegment(source, source.size(), name.channel);
        if (!walk.firstMs || !walk.index.extent) {
            ::close(fd);
            return std::nullopt;
        }
        if (recover)
            writeIndexFile(indexFile, walk.index);
        summary.startMs = *walk.firstMs;
        summary.endMs = walk.index.extent->endMs;
        summary.dataEnd = walk.index.extent->dataEnd;
    }
    ::close(fd);
    summary.finished = true;
    summary.indexBytes = fs::file_size(indexFile, ec);
    if (ec)
        summary.indexBytes = 0;
    return summary;
}

// A reader over one channel's segments, in time order.
class StoredFrameReader : public FrameReader {
public:
    StoredFrameReader(fs::path root, std::shared_ptr<const SegmentTable> table, std::uint32_t channel,
                      std::int64_t fromMs, std::int64_t toMs, RecordTypeFilter filter)
        : m_root(std::move(root)), m_table(std::move(table)), m_channel(channel), m_fromMs(fromMs), m_toMs(toMs),
          m_filter(filter)
    {
    }
    ~StoredFrameReader() override { close(); }

    bool seek(std::int64_t timeMs) override
    {
        close();
        const auto segments = candidates();
        for (const auto& s : segments) {
            if (s.startMs <= timeMs && timeMs < s.endMs) {
                if (!open(s))
                    break;
                // The key frame at or before timeMs, by the index.
                const auto index = readIndexFile(m_root / indexPathOf(s.path));
                if (index) {
                    for (const auto& key : index->keys) {
                        if (key.offset >= s.dataEnd || key.timeMs > timeMs)
                            break;
                        m_offset = key.offset;
                    }
                }
                return true;
            }
        }
        for (const auto& s : segments)
            if (s.startMs > timeMs)
                return open(s);
        return false;
    }

    std::optional<RecordedFrame> next() override
    {
        std::vector<std::uint8_t> bytes;
        while (m_fd >= 0) {
            // A segment still recorded grows; one deleted meanwhile is read
            // as far as it was known (its open file stays readable).
            if (const auto now = m_table->find(m_channel, m_segment.path))
                m_segment = *now;
            if (m_offset >= m_segment.dataEnd) {
                if (!m_segment.finished && !laterSegment())
                    return std::nullopt;  // the newest segment: nothing more flushed yet
                if (!advance())
                    return std::nullopt;
                continue;
            }
            DescriptorSource source(m_fd);
            const auto frame = frameAt(source, m_offset, m_segment.dataEnd, m_channel, bytes);
            if (!frame) {
                ++m_damaged;
                m_offset = nextGoodFrameAfter(source, m_offset, m_segment.dataEnd, m_channel)
                               .value_or(m_segment.dataEnd);
                continue;
            }
            if (frame->timeMs >= m_toMs) {
                close();
                return std::nullopt;
            }
            m_offset += frame->length;
            RecordedFrame out;
            out.timeMs = frame->timeMs;
            out.video = true;
            out.key = frame->key;
            out.bytes = std::move(bytes);
            return out;
        }
        return std::nullopt;
    }

    std::uint64_t damagedFrames() const override { return m_damaged; }

    std::optional<FrameCount> countBefore(std::int64_t) const override
    {
        // Without an open segment next() gives nothing more; otherwise the
        // frames must be read (damaged ones are skipped).
        if (m_fd < 0)
            return FrameCount{};
        return std::nullopt;
    }

private:
    std::vector<SegmentSummary> candidates() const
    {
        std::vector<SegmentSummary> out;
        for (auto& s : m_table->channel(m_channel))
            if (typeMatches(m_filter, s.type) && overlaps(s, m_fromMs, m_toMs))
                out.push_back(std::move(s));
        return out;
    }

    std::optional<SegmentSummary> following() const
    {
        for (const auto& s : candidates())
            if (s.startMs > m_segment.startMs && s.path != m_segment.path)
                return s;
        return std::nullopt;
    }

    bool laterSegment() const { return following().has_value(); }

    bool advance()
    {
        const auto nextSegment = following();
        close();
        return nextSegment && open(*nextSegment);
    }

    bool open(const SegmentSummary& s)
    {
        close();
        if (!parseSegmentRelativePath(s.path))
            return false;  // never a path outside the recordings
        m_fd = ::open((m_root / s.path).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (m_fd < 0)
            return false;
        m_segment = s;
        m_offset = recordfile::kDataOffset;
        return true;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    const fs::path m_root;
    const std::shared_ptr<const SegmentTable> m_table;
    const std::uint32_t m_channel;
    const std::int64_t m_fromMs;
    const std::int64_t m_toMs;
    const RecordTypeFilter m_filter;
    SegmentSummary m_segment;
    int m_fd = -1;
    std::uint64_t m_offset = 0;
    std::uint64_t m_damaged = 0;
};

}  // namespace

std::vector<SegmentSummary> scanRecordings(const fs::path& root, bool recover,
                                           const std::function<void(const std::string&)>& log)
{
    std::vector<SegmentSummary> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it.depth() > 2 || !it->is_regular_file(ec) || it->path().extension() != ".264")
            continue;
        const std::string path = fs::relative(it->path(), root, ec).generic_string();
        const auto name = parseSegmentRelativePath(path);
        if (!name || ec)
            continue;
        if (auto summary = summaryOf(root, path, *name, recover, log))
            out.push_back(std::move(*summary));
    }
    return out;
}

StoredRecordings::StoredRecordings(fs::path dataFolder, std::uint32_t channels)
    : m_folder(std::move(dataFolder) / "recordings"), m_channels(channels), m_table(std::make_shared<SegmentTable>())
{
}

void StoredRecordings::load()
{
    for (const auto& summary : scanRecordings(m_folder, false))
        m_table->publish(summary);
}

std::vector<RecordSpan> StoredRecordings::spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                                RecordTypeFilter filter) const
{
    const auto segments = m_table->channel(channel);
    std::vector<RecordSpan> out;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const auto& s = segments[i];
        if (!typeMatches(filter, s.type) || !overlaps(s, fromMs, toMs))
            continue;
        RecordSpan span;
        span.channel = channel;
        span.startMs = s.startMs;
        // Wall-clock times of consecutive frames may lie closer than one
        // frame interval: a span ends where the next one begins.
        span.endMs = i + 1 < segments.size() ? std::min(s.endMs, std::max(s.startMs + 1, segments[i + 1].startMs))
                                             : s.endMs;
        span.type = s.type;
        span.fileName = s.path;
        span.bytes = s.dataEnd - recordfile::kDataOffset;
        out.push_back(std::move(span));
    }
    return out;
}

std::unique_ptr<FrameReader> StoredRecordings::openReader(std::uint32_t channel, std::int64_t fromMs,
                                                          std::int64_t toMs, RecordTypeFilter filter) const
{
    if (channel >= m_channels)
        return nullptr;
    auto reader = std::make_unique<StoredFrameReader>(m_folder, m_table, channel, fromMs, toMs, filter);
    reader->seek(fromMs);
    return reader;
}

}  // namespace velk::recorder
