// SPDX-License-Identifier: GPL-3.0-or-later
// One connection to a camera (rtsp://, over TCP) or one opening of a video
// file, through libavformat: the best video stream (H.264 or H.265), its
// format, and its packets as Annex B access units whose key frames start
// with their parameter sets. Length-prefixed streams (MP4, Matroska) go
// through libavcodec's mp4toannexb filters; parameter sets missing before a
// key frame are put there from what the stream gave before (ParameterSets).
//
// Every call that may wait on the network gives up at its deadline or as
// soon as the stop flag is set: libavformat asks the interrupt callback
// about every 100 ms while it waits. Used by one source thread only.
#pragma once

#include "CameraFeed.h"
#include "ParameterSets.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVBSFContext;
struct AVPacket;

namespace velk::recorder {

struct DemuxedFrame {
    std::vector<std::uint8_t> annexB;
    bool key = false;
    std::optional<std::int64_t> dts;  // in the stream's time base
    std::int64_t duration = 0;        // in the stream's time base; 0 when unknown
};

class SourceDemuxer {
public:
    explicit SourceDemuxer(const std::atomic<bool>& stop);
    ~SourceDemuxer();
    SourceDemuxer(const SourceDemuxer&) = delete;
    SourceDemuxer& operator=(const SourceDemuxer&) = delete;

    // Opens the address (credentials included) and finds its video stream;
    // gives up after timeoutMs. False and reason (no password in it) on failure.
    bool open(const std::string& address, int timeoutMs, std::string& reason);

    // The stream's format; its size may be filled in or change at a key frame.
    const CameraFormat& format() const { return m_format; }
    int timeBaseNum() const { return m_timeBaseNum; }
    int timeBaseDen() const { return m_timeBaseDen; }
    // One picture's length in the time base, from the nominal frame rate (40 ms when unknown).
    std::int64_t frameInterval() const;
    // A span of the time base in microseconds.
    std::int64_t microseconds(std::int64_t units) const;
    // A local file (played in a loop), not a network stream.
    bool isFile() const { return m_isFile; }

    enum class Read { Frame, End, Error, TimedOut, Stopped };
    // The next video access unit; waits at most timeoutMs for it (packets
    // of other streams do not count). reason says why on Error.
    Read read(DemuxedFrame& frame, int timeoutMs, std::string& reason);
    // Back to the start of a file. False and reason when it cannot seek
    // there exactly: the file is to be opened again.
    bool rewind(std::string& reason);

private:
    static int interrupted(void* self);
    void close();
    bool setUpFilter(std::string& reason);
    void take(AVPacket* packet, DemuxedFrame& frame);

    const std::atomic<bool>& m_stop;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_timedOut = false;
    AVFormatContext* m_context = nullptr;
    AVBSFContext* m_filter = nullptr;  // null for Annex B streams
    AVPacket* m_packet = nullptr;
    int m_stream = -1;
    bool m_isFile = false;
    CameraFormat m_format;
    int m_timeBaseNum = 1;
    int m_timeBaseDen = 90000;
    std::unique_ptr<ParameterSets> m_parameterSets;
};

// libavformat's error text for a code.
std::string avErrorText(int code);

}  // namespace velk::recorder
