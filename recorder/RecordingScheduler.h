// SPDX-License-Identifier: GPL-3.0-or-later
// Decides, on the I/O thread, what each channel records and feeds its
// frames to the recording writer. Every 40 ms each channel whose schedule
// has a period takes the next picture of its main-stream loop (the pictures
// a live viewer sees), stamped with the wall clock, and keeps the last
// pre-alarm seconds of them (from a key frame) in memory. Its schedule at
// the current local time and its alarms decide the record type: a normal
// period records always; an alarm period records while an alarm of the
// channel is active and for the post-alarm margin after, beginning with the
// frames kept from before the alarm. A recording starts, and changes its
// type, at a key frame. When the channel's loop is encoded again (its
// overlay changed) the recording moves to the new loop at a key frame;
// frames kept from before stay with the loop they came from.
//
// A camera channel (one taken from a real source) records its main feed's
// frames instead, as the feed hands them over, each with the frame's own
// time; the same decisions apply. A loss of the camera ends the channel's
// segment, and the first key frame after it is back starts a new one; while
// the feed is not live nothing is recorded.
//
// Alarms are raised by the simulator (/sim/alarm) and by motion: a channel
// with enabled motion cells has a motion alarm while the moving square of
// the picture its live streams show now (the wall clock's place in the
// loop) touches an enabled cell, and until it has stayed out of them for
// kMotionHoldMs. Every logged-in client is told when an alarm begins and
// ends. Camera channels have no square: only /sim/alarm raises theirs.
#pragma once

#include "CameraFeed.h"
#include "DeviceServer.h"
#include "MediaLibrary.h"
#include "MotionPath.h"
#include "RecordingPlan.h"
#include "RecordingWriter.h"

#include <boost/asio.hpp>

#include <json/value.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

enum class AlarmKind { Motion, Input };

std::optional<AlarmKind> alarmKindFromText(std::string_view text);
const char* alarmKindText(AlarmKind kind);

struct RecordingSchedulerSettings {
    std::uint32_t channels = 16;
    std::filesystem::path dataFolder;  // the schedules are read from here
    std::int64_t preAlarmMs = 5000;
    std::int64_t postAlarmMs = 10000;
};

class RecordingScheduler {
public:
    // How long a motion alarm lasts after the moving part left the enabled
    // cells.
    static constexpr std::int64_t kMotionHoldMs = 2000;

    // The camera channels are those of devices.cameras(); their main feeds
    // are listened to from start() until stop().
    RecordingScheduler(boost::asio::io_context& io, MediaLibrary& media, RecordingWriter& writer,
                       DeviceServer& devices, RecordingSchedulerSettings settings);
    ~RecordingScheduler();
    RecordingScheduler(const RecordingScheduler&) = delete;
    RecordingScheduler& operator=(const RecordingScheduler&) = delete;

    // Reads every channel's schedule, starts encoding the loops of the
    // channels with periods, and starts the ticks.
    void start();
    void stop();
    // Reads the channel's schedule again (after it was stored).
    void reloadSchedule(std::uint32_t channel);
    // Raises an alarm of this kind on the channel for seconds (a raised one
    // is extended); its clients learn of it at once.
    void raiseAlarm(std::uint32_t channel, AlarmKind kind, std::uint32_t seconds);
    // The channel's enabled motion cells (none: no motion alarms).
    void setMotionCells(std::uint32_t channel, const MotionCells& cells);

    // For /sim/status.
    Json::Value recordingStatus() const;
    Json::Value alarmStatus() const;

private:
    struct Buffered {
        std::shared_ptr<const EncodedLoop> loop;  // the picture's loop (null for a camera's frame)
        std::size_t picture = 0;
        std::shared_ptr<const std::vector<std::uint8_t>> annexB;  // a camera's frame
        CameraFormat format;                                      // a camera's key frame: its format
        std::int64_t timeMs = 0;
        std::uint16_t sequence = 0;
        bool key = false;
    };
    struct ChannelState {
        bool camera = false;  // its frames come from its main camera feed, not a loop
        RecordingPlan plan;
        std::shared_ptr<const EncodedLoop> loop;
        std::size_t position = 0;
        std::uint16_t sequence = 0;
        std::deque<Buffered> kept;  // the pre-alarm frames, from a key frame
        std::optional<RecordType> current;
        bool needKey = false;  // a frame was dropped: go on at the next key frame
        std::map<AlarmKind, std::int64_t> alarms;  // active, with their end
        std::int64_t postUntilMs = 0;
        MotionCells motion;  // enabled motion cells
    };

    void scheduleTick();
    void scheduleRetention();
    void tick();
    // Raises or extends the alarm until untilMs.
    void holdAlarm(std::uint32_t channel, ChannelState& state, AlarmKind kind, std::int64_t untilMs);
    void detectMotion(std::uint32_t channel, ChannelState& state, std::int64_t nowMs);
    void expireAlarms(std::uint32_t channel, ChannelState& state, std::int64_t nowMs);
    void step(std::uint32_t channel, ChannelState& state, std::int64_t nowMs, const LocalMoment& moment);
    // Keeps the frame for a later alarm and records it as the channel's
    // schedule and alarms say now.
    void record(std::uint32_t channel, ChannelState& state, const Buffered& frame, std::int64_t nowMs,
                const LocalMoment& moment);
    // A camera channel's main feed.
    class CameraChannel;
    void takeCameraFrame(std::uint32_t channel, const CameraFeed& feed, const CameraFrame& frame);
    void cameraLost(std::uint32_t channel);
    void send(std::uint32_t channel, ChannelState& state, const Buffered& frame, RecordType type);

    boost::asio::io_context& m_io;
    MediaLibrary& m_media;
    RecordingWriter& m_writer;
    DeviceServer& m_devices;
    const RecordingSchedulerSettings m_settings;
    std::vector<ChannelState> m_channels;
    std::vector<std::unique_ptr<CameraChannel>> m_cameraChannels;  // listening while started
    const MotionPath m_motionPath{MediaLibrary::kLoopFrames};
    boost::asio::steady_timer m_tickTimer;
    boost::asio::steady_timer m_retentionTimer;
    std::chrono::steady_clock::time_point m_nextTick;
    bool m_stopped = false;
};

}  // namespace velk::recorder
