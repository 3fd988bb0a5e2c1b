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
// type, at a key frame. Alarms are raised by the simulator (/sim/alarm);
// every logged-in client is told when one begins and ends.
#pragma once

#include "DeviceServer.h"
#include "MediaLibrary.h"
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
    RecordingScheduler(boost::asio::io_context& io, MediaLibrary& media, RecordingWriter& writer,
                       DeviceServer& devices, RecordingSchedulerSettings settings);

    // Reads every channel's schedule, starts encoding the loops of the
    // channels with periods, and starts the ticks.
    void start();
    void stop();
    // Reads the channel's schedule again (after it was stored).
    void reloadSchedule(std::uint32_t channel);
    // Raises an alarm of this kind on the channel for seconds (a raised one
    // is extended); its clients learn of it at once.
    void raiseAlarm(std::uint32_t channel, AlarmKind kind, std::uint32_t seconds);

    // For /sim/status.
    Json::Value recordingStatus() const;
    Json::Value alarmStatus() const;

private:
    struct Buffered {
        std::size_t picture = 0;
        std::int64_t timeMs = 0;
        std::uint16_t sequence = 0;
        bool key = false;
    };
    struct ChannelState {
        RecordingPlan plan;
        std::shared_ptr<const EncodedLoop> loop;
        std::size_t position = 0;
        std::uint16_t sequence = 0;
        std::deque<Buffered> kept;  // the pre-alarm frames, from a key frame
        std::optional<RecordType> current;
        bool needKey = false;  // a frame was dropped: go on at the next key frame
        std::map<AlarmKind, std::int64_t> alarms;  // active, with their end
        std::int64_t postUntilMs = 0;
    };

    void scheduleTick();
    void scheduleRetention();
    void tick();
    void expireAlarms(std::uint32_t channel, ChannelState& state, std::int64_t nowMs);
    void step(std::uint32_t channel, ChannelState& state, std::int64_t nowMs, const LocalMoment& moment);
    void send(std::uint32_t channel, ChannelState& state, const Buffered& frame, RecordType type);

    boost::asio::io_context& m_io;
    MediaLibrary& m_media;
    RecordingWriter& m_writer;
    DeviceServer& m_devices;
    const RecordingSchedulerSettings m_settings;
    std::vector<ChannelState> m_channels;
    boost::asio::steady_timer m_tickTimer;
    boost::asio::steady_timer m_retentionTimer;
    std::chrono::steady_clock::time_point m_nextTick;
    bool m_stopped = false;
};

}  // namespace velk::recorder
