// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's media frame container. Live streams, playback streams,
// local record files and downloaded clips all carry these frames as the
// recorder sent them:
//
//   byte 0      frame kind (MediaKind)
//   bytes 1-3   "2dc"
//   byte 4      channel (0-based)
//   byte 5      stream type (0 main, 1 sub, 2 third)
//   bytes 6-7   sequence number, little-endian, per stream, wrapping
//   bytes 8-10  L, little-endian 24-bit: bytes after the 12-byte header
//   byte 11     N, number of items
//   items       N items, each starting with a 32-bit little-endian word:
//               low byte the item type, upper 24 bits the item length in
//               bytes including that word
//   payload     the rest of the L bytes: H.264 or H.265 Annex B in
//               decoding order (video) or G.711 (audio)
//
// Item types: 1 video info (u16 width at +4, u16 height at +6, u8 frame
// rate at +8, u8 codec at +9 (VideoCodec; writers before H.265 wrote 0
// there, so their frames read as H.264), 12 bytes), 2 time (u32 seconds since 1970-01-01 UTC at +4,
// u32 milliseconds 0..999 at +8, 12 bytes), 3 audio info (u32 sample rate
// at +4, u8 channels at +8, 12 bytes). Readers skip unknown item types.
// Header-only; no dependencies beyond the C++ library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace media {

enum class MediaKind : std::uint8_t {
    VideoKey = 0x01,    // key access unit with its parameter sets first (H.264 SPS/PPS, H.265 VPS/SPS/PPS)
    VideoDelta = 0x02,  // any other access unit
    AudioMuLaw = 0x03,  // G.711 mu-law, 8 kHz mono
    AudioALaw = 0x04,   // G.711 A-law, 8 kHz mono
};

// Which compression a video frame's payload holds, as written in the video
// info item. Key frames carry it; delta frames follow the last key frame's.
enum class VideoCodec : std::uint8_t { H264 = 0, H265 = 1 };

inline bool isVideo(MediaKind kind) { return kind == MediaKind::VideoKey || kind == MediaKind::VideoDelta; }

enum ItemType : std::uint8_t { kItemVideoInfo = 1, kItemTime = 2, kItemAudioInfo = 3 };

constexpr std::size_t kHeaderBytes = 12;
constexpr std::size_t kMaxBodyBytes = 0xFFFFFF;  // L is 24 bits

struct FrameTime {
    std::uint32_t seconds = 0;       // since 1970-01-01 UTC
    std::uint32_t milliseconds = 0;  // 0..999
};

struct VideoInfo {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t frameRate = 0;
    VideoCodec codec = VideoCodec::H264;
};

// A parsed view into one frame; spans point into the parsed buffer.
struct FrameView {
    MediaKind kind{};
    std::uint8_t channel = 0;
    std::uint8_t streamType = 0;
    std::uint16_t sequence = 0;
    std::optional<FrameTime> time;
    std::optional<VideoInfo> video;
    std::uint32_t audioSampleRate = 0;
    std::span<const std::uint8_t> payload;
    std::size_t totalBytes = 0;  // header + L
};

namespace detail {
inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }
inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
inline void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
}  // namespace detail

// True when the bytes at p (at least 4 available) carry the "2dc" magic.
inline bool hasMagic(const std::uint8_t* p) { return p[1] == '2' && p[2] == 'd' && p[3] == 'c'; }

// Total length (header + L) of the frame starting at data, or 0 when data
// does not start with a complete header.
inline std::size_t frameLength(std::span<const std::uint8_t> data) {
    if (data.size() < kHeaderBytes || !hasMagic(data.data())) return 0;
    const std::size_t body = std::size_t(data[8]) | std::size_t(data[9]) << 8 | std::size_t(data[10]) << 16;
    return kHeaderBytes + body;
}

// Parses one complete frame at the start of data. Fails (nullopt) on a bad
// magic, a frame longer than data, or items that overrun the frame.
inline std::optional<FrameView> parseFrame(std::span<const std::uint8_t> data) {
    const std::size_t total = frameLength(data);
    if (total == 0 || total > data.size()) return std::nullopt;
    FrameView view;
    view.kind = MediaKind(data[0]);
    view.channel = data[4];
    view.streamType = data[5];
    view.sequence = detail::le16(&data[6]);
    view.totalBytes = total;
    std::size_t pos = kHeaderBytes;
    const unsigned items = data[11];
    for (unsigned i = 0; i < items; ++i) {
        if (total - pos < 4) return std::nullopt;
        const std::uint32_t word = detail::le32(&data[pos]);
        const std::size_t length = word >> 8;
        if (length < 4 || length > total - pos) return std::nullopt;
        const std::uint8_t* item = &data[pos];
        switch (word & 0xFF) {
        case kItemTime:
            if (length >= 12) view.time = FrameTime{detail::le32(item + 4), detail::le32(item + 8)};
            break;
        case kItemVideoInfo:
            if (length >= 12)
                view.video =
                    VideoInfo{detail::le16(item + 4), detail::le16(item + 6), item[8], VideoCodec(item[9])};
            break;
        case kItemAudioInfo:
            if (length >= 12) view.audioSampleRate = detail::le32(item + 4);
            break;
        default:
            break;
        }
        pos += length;
    }
    view.payload = data.subspan(pos, total - pos);
    return view;
}

struct FrameFields {
    MediaKind kind = MediaKind::VideoDelta;
    std::uint8_t channel = 0;
    std::uint8_t streamType = 0;
    std::uint16_t sequence = 0;
    std::optional<FrameTime> time;
    std::optional<VideoInfo> video;
    std::uint32_t audioSampleRate = 0;  // 0: no audio info item
};

// Builds one frame around a payload. Returns an empty vector when the body
// would not fit in 24 bits.
inline std::vector<std::uint8_t> buildFrame(const FrameFields& f, std::span<const std::uint8_t> payload) {
    using namespace detail;
    std::vector<std::uint8_t> items;
    std::uint8_t count = 0;
    if (f.video) {
        put32(items, std::uint32_t(kItemVideoInfo) | (12u << 8));
        put16(items, f.video->width);
        put16(items, f.video->height);
        items.push_back(f.video->frameRate);
        items.push_back(std::uint8_t(f.video->codec));
        items.insert(items.end(), 2, 0);
        ++count;
    }
    if (f.time) {
        put32(items, std::uint32_t(kItemTime) | (12u << 8));
        put32(items, f.time->seconds);
        put32(items, f.time->milliseconds);
        ++count;
    }
    if (f.audioSampleRate != 0) {
        put32(items, std::uint32_t(kItemAudioInfo) | (12u << 8));
        put32(items, f.audioSampleRate);
        items.push_back(1);
        items.insert(items.end(), 3, 0);
        ++count;
    }
    const std::size_t body = items.size() + payload.size();
    if (body > kMaxBodyBytes) return {};
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderBytes + body);
    out.push_back(std::uint8_t(f.kind));
    out.push_back('2');
    out.push_back('d');
    out.push_back('c');
    out.push_back(f.channel);
    out.push_back(f.streamType);
    put16(out, f.sequence);
    out.push_back(std::uint8_t(body));
    out.push_back(std::uint8_t(body >> 8));
    out.push_back(std::uint8_t(body >> 16));
    out.push_back(count);
    out.insert(out.end(), items.begin(), items.end());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// Appends the same bytes as buildFrame() to out, with no allocation of its
// own (for senders that build many frames into one buffer). False, with out
// unchanged, when the body would not fit in 24 bits.
inline bool appendFrame(std::string& out, const FrameFields& f, std::span<const std::uint8_t> payload) {
    // At most three items of 12 bytes each.
    std::uint8_t items[36];
    std::size_t itemBytes = 0;
    std::uint8_t count = 0;
    const auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) items[itemBytes++] = std::uint8_t(v >> (8 * i));
    };
    if (f.video) {
        put(std::uint32_t(kItemVideoInfo) | (12u << 8), 4);
        put(f.video->width, 2);
        put(f.video->height, 2);
        put(f.video->frameRate, 1);
        put(std::uint8_t(f.video->codec), 1);
        put(0, 2);
        ++count;
    }
    if (f.time) {
        put(std::uint32_t(kItemTime) | (12u << 8), 4);
        put(f.time->seconds, 4);
        put(f.time->milliseconds, 4);
        ++count;
    }
    if (f.audioSampleRate != 0) {
        put(std::uint32_t(kItemAudioInfo) | (12u << 8), 4);
        put(f.audioSampleRate, 4);
        put(1, 1);
        put(0, 3);
        ++count;
    }
    const std::size_t body = itemBytes + payload.size();
    if (body > kMaxBodyBytes) return false;
    const char header[kHeaderBytes] = {char(f.kind),        '2',
                                       'd',                 'c',
                                       char(f.channel),     char(f.streamType),
                                       char(f.sequence),    char(f.sequence >> 8),
                                       char(body),          char(body >> 8),
                                       char(body >> 16),    char(count)};
    out.append(header, kHeaderBytes);
    out.append(reinterpret_cast<const char*>(items), itemBytes);
    out.append(reinterpret_cast<const char*>(payload.data()), payload.size());
    return true;
}

}  // namespace media
