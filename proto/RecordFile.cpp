// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/RecordFile.h"

#include "proto/MediaFrame.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

namespace recordfile {

namespace {

constexpr std::uint16_t kHeaderMagic = 0x1201;
constexpr char kHeaderName[] = "IPCAMB";
constexpr std::size_t kChannelSlotStride = 40;
constexpr int kChannelSlots = 4;

std::uint32_t le32(const std::uint8_t* p)
{
    return media::detail::le32(p);
}

void put32(std::uint8_t* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putTime(std::uint8_t* p, const std::optional<HeaderTime>& time)
{
    if (!time)
        return;
    put32(p, time->seconds);
    p[4] = static_cast<std::uint8_t>(time->milliseconds);
    p[5] = static_cast<std::uint8_t>(time->milliseconds >> 8);
}

HeaderTime readTime(const std::uint8_t* p)
{
    return {le32(p), static_cast<std::uint16_t>(p[4] | p[5] << 8)};
}

enum class WindowEnd { Time, NoTime, NextWindow };

// One window of the header scan: n bytes actually read (never more).
WindowEnd walkWindow(const std::uint8_t* window, std::size_t n, HeaderTime& time)
{
    std::size_t pos = 0;
    while (n - pos > media::kHeaderBytes) {
        const std::uint8_t* frame = window + pos;
        if (!media::hasMagic(frame)) {
            ++pos;
            continue;
        }
        const std::size_t total =
            media::kHeaderBytes + (std::size_t(frame[8]) | std::size_t(frame[9]) << 8 | std::size_t(frame[10]) << 16);
        if (total > n - pos)
            return WindowEnd::NextWindow;
        std::size_t itemPos = media::kHeaderBytes;
        const unsigned items = frame[11];
        for (unsigned i = 0; i < items; ++i) {
            if (total - itemPos < 4)
                break;
            const std::uint32_t word = le32(frame + itemPos);
            const std::size_t length = word >> 8;
            if (length < 4 || length > total - itemPos)
                break;
            if ((word & 0xFF) == media::kItemTime && length >= 12) {
                time = {le32(frame + itemPos + 4), static_cast<std::uint16_t>(le32(frame + itemPos + 8))};
                return WindowEnd::Time;
            }
            itemPos += length;
        }
        return WindowEnd::NoTime;
    }
    return WindowEnd::NextWindow;
}

// Walks one window at [start, start + length); nullopt in `done` means the
// scan goes on with the next window.
std::optional<std::optional<HeaderTime>> scanWindow(ByteSource& source, std::uint64_t start, std::size_t length,
                                                    std::vector<std::uint8_t>& buffer)
{
    buffer.resize(length);
    const std::size_t got = source.readAt(start, buffer.data(), length);
    if (got == 0)
        return std::optional<HeaderTime>();  // nothing to read: no time
    HeaderTime time;
    switch (walkWindow(buffer.data(), got, time)) {
    case WindowEnd::Time:
        return std::optional<HeaderTime>(time);
    case WindowEnd::NoTime:
        return std::optional<HeaderTime>();
    case WindowEnd::NextWindow:
        break;
    }
    return std::nullopt;
}

}  // namespace

HeaderBytes buildHeader(const HeaderFields& fields)
{
    HeaderBytes header{};
    putTime(&header[kFirstTimeOffset], fields.firstTime);
    putTime(&header[kLastTimeOffset], fields.lastTime);
    header[kVersionOffset] = 1;
    put32(&header[kHeaderSizeOffset], static_cast<std::uint32_t>(kHeaderBytes));
    header[kMagicOffset] = static_cast<std::uint8_t>(kHeaderMagic);
    header[kMagicOffset + 1] = static_cast<std::uint8_t>(kHeaderMagic >> 8);
    for (std::size_t i = 0; i < 6; ++i)
        header[kNameOffset + 2 * i] = static_cast<std::uint8_t>(kHeaderName[i]);
    const int channel = std::max(fields.channel, 0);
    header[kChannelSlotOffset + kChannelSlotStride * static_cast<std::size_t>(channel % kChannelSlots)] =
        static_cast<std::uint8_t>(channel + 1);
    return header;
}

ParsedHeader parseHeader(std::span<const std::uint8_t> bytes)
{
    ParsedHeader parsed;
    if (bytes.size() < kHeaderBytes) {
        parsed.state = HeaderState::Invalid;
        parsed.problem = "the file is shorter than the 512-byte header";
        return parsed;
    }
    const auto header = bytes.first(kHeaderBytes);
    if (std::all_of(header.begin(), header.end(), [](std::uint8_t b) { return b == 0; })) {
        parsed.state = HeaderState::Missing;
        return parsed;
    }
    parsed.state = HeaderState::Invalid;
    if (header[kVersionOffset] != 1) {
        parsed.problem = "byte 50 is not 1";
        return parsed;
    }
    if (le32(&header[kHeaderSizeOffset]) != kHeaderBytes) {
        parsed.problem = "the header size at byte 72 is not 512";
        return parsed;
    }
    if ((header[kMagicOffset] | header[kMagicOffset + 1] << 8) != kHeaderMagic) {
        parsed.problem = "the mark at byte 76 is not 0x1201";
        return parsed;
    }
    for (std::size_t i = 0; i < 6; ++i) {
        if (header[kNameOffset + 2 * i] != static_cast<std::uint8_t>(kHeaderName[i]) ||
            header[kNameOffset + 2 * i + 1] != 0) {
            parsed.problem = "the name at byte 80 is not IPCAMB";
            return parsed;
        }
    }
    int slotsSet = 0;
    for (int slot = 0; slot < kChannelSlots; ++slot) {
        const std::uint8_t value = header[kChannelSlotOffset + kChannelSlotStride * static_cast<std::size_t>(slot)];
        if (value == 0)
            continue;
        ++slotsSet;
        if ((value - 1) % kChannelSlots != slot) {
            parsed.problem = "the channel byte does not match its place";
            return parsed;
        }
        parsed.channel = value - 1;
    }
    if (slotsSet != 1) {
        parsed.problem = slotsSet == 0 ? "no channel byte is set" : "more than one channel byte is set";
        parsed.channel = -1;
        return parsed;
    }
    parsed.firstTime = readTime(&header[kFirstTimeOffset]);
    parsed.lastTime = readTime(&header[kLastTimeOffset]);
    parsed.state = HeaderState::Valid;
    return parsed;
}

std::size_t MemorySource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count)
{
    if (offset >= m_bytes.size())
        return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_bytes.size() - offset));
    std::memcpy(out, m_bytes.data() + offset, n);
    return n;
}

FileSource::FileSource(std::FILE* file) : m_file(file)
{
    struct stat info {};
    if (m_file != nullptr && std::fflush(m_file) == 0 && ::fstat(::fileno(m_file), &info) == 0 && info.st_size > 0)
        m_size = static_cast<std::uint64_t>(info.st_size);
}

std::size_t FileSource::readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count)
{
    if (m_file == nullptr || offset >= m_size)
        return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_size - offset));
    if (::fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return 0;
    const std::size_t got = std::fread(out, 1, count, m_file);
    std::clearerr(m_file);
    return got;
}

std::optional<HeaderTime> scanFirstTime(ByteSource& source)
{
    const std::uint64_t size = source.size();
    std::vector<std::uint8_t> buffer;
    for (std::uint64_t k = 0;; ++k) {
        const std::uint64_t start = k == 0 ? 0 : kScanWindowBytes * k - kScanOverlapBytes;
        if (start >= size)
            return std::nullopt;
        if (auto done = scanWindow(source, start, kScanWindowBytes, buffer))
            return *done;
    }
}

std::optional<HeaderTime> scanLastTime(ByteSource& source)
{
    const std::uint64_t size = source.size();
    std::vector<std::uint8_t> buffer;
    for (std::uint64_t j = 1;; ++j) {
        // Window j covers [size - 10000 j, size - 10000 (j - 1)); the one
        // that would begin before the file begins at 0 and is the last.
        const std::uint64_t end = size - std::min(size, kScanWindowBytes * (j - 1));
        if (end == 0)
            return std::nullopt;
        const std::uint64_t start = end > kScanWindowBytes ? end - kScanWindowBytes : 0;
        if (auto done = scanWindow(source, start, static_cast<std::size_t>(end - start), buffer))
            return *done;
        if (start == 0)
            return std::nullopt;
    }
}

HeaderFields scanHeaderFields(ByteSource& source, int channel)
{
    HeaderFields fields;
    fields.firstTime = scanFirstTime(source);
    fields.lastTime = scanLastTime(source);
    fields.channel = channel;
    return fields;
}

ContainerSummary walkContainer(ByteSource& source)
{
    ContainerSummary summary;
    const std::uint64_t size = source.size();
    const auto fail = [&summary](std::uint64_t offset, std::string why) {
        summary.errorOffset = offset;
        summary.error = std::move(why);
        return summary;
    };
    if (size < kDataOffset)
        return fail(size, "the file ends before the data, which starts at byte 1024");
    std::vector<std::uint8_t> frame;
    std::uint64_t pos = kDataOffset;
    while (pos < size) {
        const std::uint64_t remain = size - pos;
        std::uint8_t head[media::kHeaderBytes];
        if (remain < media::kHeaderBytes)
            return fail(pos, "a frame header is cut off by the end of the file (" + std::to_string(remain) +
                                 " bytes left)");
        if (source.readAt(pos, head, sizeof head) != sizeof head)
            return fail(pos, "read error");
        if (!media::hasMagic(head))
            return fail(pos, "no frame starts here (\"2dc\" missing)");
        const std::size_t total = media::frameLength(std::span<const std::uint8_t>(head, sizeof head));
        if (total > remain)
            return fail(pos, "a frame of " + std::to_string(total) + " bytes runs past the end of the file (" +
                                 std::to_string(remain) + " bytes left)");
        frame.resize(total);
        if (source.readAt(pos, frame.data(), total) != total)
            return fail(pos, "read error");
        const auto view = media::parseFrame(frame);
        if (!view)
            return fail(pos, "the frame's items overrun the frame");
        if (summary.frames == 0)
            summary.firstChannel = view->channel;
        ++summary.frames;
        if (media::isVideo(view->kind)) {
            ++summary.videoFrames;
            if (view->video)
                ++(view->video->codec == media::VideoCodec::H265 ? summary.h265InfoFrames : summary.h264InfoFrames);
        }
        else if (view->kind == media::MediaKind::AudioMuLaw || view->kind == media::MediaKind::AudioALaw)
            ++summary.audioFrames;
        if (view->time) {
            const FrameStamp stamp{view->time->seconds, view->time->milliseconds};
            if (!summary.firstTime)
                summary.firstTime = stamp;
            summary.lastTime = stamp;
        }
        pos += total;
    }
    return summary;
}

bool writeHeader(std::FILE* file, const HeaderBytes& header)
{
    if (file == nullptr)
        return false;
    if (std::fflush(file) == 0 && std::fseek(file, 0, SEEK_SET) == 0 &&
        std::fwrite(header.data(), 1, header.size(), file) == header.size() && std::fflush(file) == 0)
        return true;
    // Half a header would read as an invalid one: leave the zero header that
    // marks an unfinished file instead.
    std::clearerr(file);
    const HeaderBytes zero{};
    if (std::fseek(file, 0, SEEK_SET) == 0)
        std::fwrite(zero.data(), 1, zero.size(), file);
    std::fflush(file);
    std::clearerr(file);
    return false;
}

RepairResult repairFile(const std::string& path, bool force)
{
    RepairResult result;
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr) {
        result.message = "cannot open the file for writing: " + std::string(std::strerror(errno));
        result.ioError = true;
        return result;
    }
    FileSource source(file);
    std::uint8_t head[kHeaderBytes] = {};
    const std::size_t got = source.readAt(0, head, sizeof head);
    const ParsedHeader parsed = parseHeader(std::span<const std::uint8_t>(head, got));
    const ContainerSummary summary = walkContainer(source);
    if (source.size() < kDataOffset) {
        result.message = "the file is shorter than 1024 bytes: not a record file";
    } else if (parsed.state != HeaderState::Missing && !force) {
        result.message = parsed.state == HeaderState::Valid
                             ? "the header is valid; it was not overwritten (use --force)"
                             : "the header is not all zero (" + parsed.problem +
                                   "); it was not overwritten (use --force)";
    } else if (summary.firstChannel < 0) {
        result.message = "no frame was found after byte 1024; the header was not written";
    } else if (summary.firstChannel > kMaxHeaderChannel) {
        // Its header would have no channel byte and read as invalid.
        result.message = "the first frame's channel byte (" + std::to_string(summary.firstChannel) +
                         ") does not fit the header; the header was not written";
    } else {
        result.fields = scanHeaderFields(source, summary.firstChannel);
        result.written = writeHeader(file, buildHeader(result.fields));
        result.ioError = !result.written;
        result.message = result.written ? "header written" : "the header could not be written";
    }
    if (std::fclose(file) != 0 && result.written) {
        result.written = false;
        result.ioError = true;
        result.message = "the header could not be written";
    }
    return result;
}

std::string formatUtc(std::uint32_t seconds, std::uint32_t milliseconds)
{
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (::gmtime_r(&time, &parts) == nullptr)
        return "?";
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03u", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, milliseconds);
    return text;
}

}  // namespace recordfile
