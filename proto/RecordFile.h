// SPDX-License-Identifier: GPL-3.0-or-later
// The local record file (".264"): a 512-byte header, 512 zero bytes, then
// the recorder's frames (MediaFrame.h) exactly as the live stream delivered
// them. The header stays all zero while the file is written and is filled in
// when the file is finished, from a bounded scan of the data for the times
// of the first frame and of a frame near the end.
//
// Used by the control (finishing a file) and by velk-264-info (reading,
// checking and repairing files). Plain C++, no Qt. Every function may run on
// any thread; none keeps state between calls.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>

namespace recordfile {

constexpr std::size_t kHeaderBytes = 512;
constexpr std::uint64_t kDataOffset = 1024;       // the first frame starts here
constexpr std::uint64_t kMinKeptBytes = 10240;    // shorter recordings are deleted
constexpr std::size_t kScanWindowBytes = 10000;   // the header scan reads this much at a time
constexpr std::size_t kScanOverlapBytes = 12;     // consecutive first-time windows overlap by this

// Header field offsets.
constexpr std::size_t kFirstTimeOffset = 37;
constexpr std::size_t kLastTimeOffset = 43;
constexpr std::size_t kVersionOffset = 50;       // 1
constexpr std::size_t kHeaderSizeOffset = 72;    // u32 512
constexpr std::size_t kMagicOffset = 76;         // u16 0x1201
constexpr std::size_t kNameOffset = 80;          // "IPCAMB" in UTF-16LE, 12 bytes
constexpr std::size_t kChannelSlotOffset = 100;  // + 40 x (channel mod 4): channel + 1
// The highest 0-based channel a header can hold (its slot holds channel + 1
// in one byte).
constexpr int kMaxHeaderChannel = 254;

// The 6-byte time of the header: the time item's 32-bit seconds (Unix
// seconds as the recorder sends them) and the low 16 bits of its
// milliseconds word.
struct HeaderTime {
    std::uint32_t seconds = 0;
    std::uint16_t milliseconds = 0;

    bool operator==(const HeaderTime&) const = default;
};

using HeaderBytes = std::array<std::uint8_t, kHeaderBytes>;

// What a finished header holds. A time that was not found is written as 0.
struct HeaderFields {
    std::optional<HeaderTime> firstTime;
    std::optional<HeaderTime> lastTime;
    int channel = 0;  // 0-based
};

HeaderBytes buildHeader(const HeaderFields& fields);

enum class HeaderState {
    Valid,
    Missing,  // all zero: the file was never finished (a crash, a power cut)
    Invalid,  // not a header this system writes
};

struct ParsedHeader {
    HeaderState state = HeaderState::Missing;
    std::string problem;  // why Invalid
    HeaderTime firstTime;
    HeaderTime lastTime;
    int channel = -1;     // 0-based; -1 when no channel byte is set
};

// Reads a header from the first bytes of a file; fewer than 512 bytes is
// Invalid.
ParsedHeader parseHeader(std::span<const std::uint8_t> bytes);

// Random access to the bytes of a file or a buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Copies up to count bytes from offset; returns how many were copied
    // (0 past the end or on a read error).
    virtual std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) = 0;
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

private:
    std::span<const std::uint8_t> m_bytes;
};

// Reads through an open stdio file (not owned; its position moves). The
// size is taken once, at construction.
class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* file);
    std::uint64_t size() const override { return m_size; }
    std::size_t readAt(std::uint64_t offset, std::uint8_t* out, std::size_t count) override;

private:
    std::FILE* m_file;
    std::uint64_t m_size = 0;
};

// The header scan. The first time: windows of 10000 bytes from the start of
// the file (window k at 10000k - 12 for k > 0); the last time: windows that
// begin 10000, 20000, ... bytes before the end. In each window the walk
// looks for "2dc" byte by byte; the first frame that lies wholly inside the
// window ends the scan, with its time item's time or, without one, with no
// time; a frame that runs past the window moves the walk to the next window.
// Bounded by the file's size; never reads past what the source holds.
std::optional<HeaderTime> scanFirstTime(ByteSource& source);
std::optional<HeaderTime> scanLastTime(ByteSource& source);

// Both times of the scan and the channel, ready for buildHeader.
HeaderFields scanHeaderFields(ByteSource& source, int channel);

// A full time of one frame (the time item's two words).
struct FrameStamp {
    std::uint32_t seconds = 0;
    std::uint32_t milliseconds = 0;
};

// What a walk through every frame from offset 1024 to the end found.
struct ContainerSummary {
    std::uint64_t frames = 0;
    std::uint64_t videoFrames = 0;
    std::uint64_t audioFrames = 0;
    std::optional<FrameStamp> firstTime;  // of the first frame with a time item
    std::optional<FrameStamp> lastTime;   // of the last frame with a time item
    int firstChannel = -1;                // channel byte of the first frame
    // Video frames carrying a video info item, by its codec (files hold
    // H.264, H.265, or both when the camera changed during the recording).
    std::uint64_t h264InfoFrames = 0;
    std::uint64_t h265InfoFrames = 0;
    // The first fault: where, and what is wrong there. The walk stops at it.
    std::optional<std::uint64_t> errorOffset;
    std::string error;
};

// Walks frame after frame; any byte sequence is safe to walk. Memory use is
// bounded by the largest frame the container can describe (16 MiB).
ContainerSummary walkContainer(ByteSource& source);

// Writes a header to an open file at offset 0 and flushes it. When the
// 512 bytes cannot all be written, the header is put back to zero as far
// as the file allows, so that a file never keeps half a header. True when
// the header is on disk.
bool writeHeader(std::FILE* file, const HeaderBytes& header);

// Repairs a file whose header is all zero: scans it and writes the header
// (channel from the first frame). A valid or invalid header is kept unless
// force is set. The outcome text says what happened, for the user.
struct RepairResult {
    bool written = false;
    bool ioError = false;  // the file could not be opened, read or written
    HeaderFields fields;
    std::string message;
};
RepairResult repairFile(const std::string& path, bool force);

// "YYYY-MM-DD hh:mm:ss.mmm", UTC.
std::string formatUtc(std::uint32_t seconds, std::uint32_t milliseconds);

}  // namespace recordfile
