// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingScheduler.h"

#include "ChannelScheduleStore.h"

#include "proto/MediaFrame.h"

#include <algorithm>

namespace velk::recorder {

namespace {

constexpr auto kTick = std::chrono::milliseconds(40);
constexpr auto kRetentionInterval = std::chrono::minutes(1);

std::int64_t wallNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::optional<AlarmKind> alarmKindFromText(std::string_view text)
{
    if (text == "motion")
        return AlarmKind::Motion;
    if (text == "input")
        return AlarmKind::Input;
    return std::nullopt;
}

const char* alarmKindText(AlarmKind kind)
{
    return kind == AlarmKind::Motion ? "motion" : "input";
}

class RecordingScheduler::CameraChannel : public CameraFeedListener {
public:
    CameraChannel(RecordingScheduler& owner, CameraFeed& feed) : m_owner(owner), m_feed(feed)
    {
        m_feed.addListener(this);
    }
    ~CameraChannel() override { m_feed.removeListener(this); }
    CameraChannel(const CameraChannel&) = delete;
    CameraChannel& operator=(const CameraChannel&) = delete;

    void onCameraFrame(const CameraFeed& feed, const CameraFrame& frame) override
    {
        m_owner.takeCameraFrame(m_feed.channel(), feed, frame);
    }
    void onCameraLost(const CameraFeed&) override { m_owner.cameraLost(m_feed.channel()); }

private:
    RecordingScheduler& m_owner;
    CameraFeed& m_feed;
};

RecordingScheduler::RecordingScheduler(boost::asio::io_context& io, MediaLibrary& media, RecordingWriter& writer,
                                       DeviceServer& devices, RecordingSchedulerSettings settings)
    : m_io(io), m_media(media), m_writer(writer), m_devices(devices), m_settings(std::move(settings)),
      m_channels(m_settings.channels), m_tickTimer(io), m_retentionTimer(io)
{
    for (std::uint32_t channel = 0; channel < m_channels.size(); ++channel)
        m_channels[channel].camera = m_devices.cameras().hasChannel(channel);
}

RecordingScheduler::~RecordingScheduler()
{
    stop();
}

void RecordingScheduler::start()
{
    for (std::uint32_t channel = 0; channel < m_settings.channels; ++channel)
        reloadSchedule(channel);
    for (std::uint32_t channel = 0; channel < m_channels.size(); ++channel)
        if (CameraFeed* feed = m_devices.cameras().find(channel, 0))
            m_cameraChannels.push_back(std::make_unique<CameraChannel>(*this, *feed));
    m_nextTick = std::chrono::steady_clock::now() + kTick;
    scheduleTick();
    scheduleRetention();
}

void RecordingScheduler::scheduleRetention()
{
    m_retentionTimer.expires_after(kRetentionInterval);
    m_retentionTimer.async_wait([this](const boost::system::error_code& error) {
        if (error || m_stopped)
            return;
        m_writer.retain();
        scheduleRetention();
    });
}

void RecordingScheduler::stop()
{
    m_stopped = true;
    m_cameraChannels.clear();
    m_tickTimer.cancel();
    m_retentionTimer.cancel();
}

void RecordingScheduler::reloadSchedule(std::uint32_t channel)
{
    if (channel >= m_channels.size())
        return;
    ChannelState& state = m_channels[channel];
    std::string error;
    const auto text = ChannelScheduleStore(m_settings.dataFolder).load(channel, error);
    state.plan = (text ? RecordingPlan::fromScheduleText(*text) : std::nullopt).value_or(RecordingPlan{});
    if (state.plan.empty()) {
        state.loop.reset();
        state.kept.clear();
        if (state.current)
            m_writer.finish(channel);
        state.current.reset();
    } else if (!state.camera && !state.loop) {
        state.loop = m_media.loop(channel, 0);
        state.position = 0;
        state.needKey = false;
    }
}

void RecordingScheduler::raiseAlarm(std::uint32_t channel, AlarmKind kind, std::uint32_t seconds)
{
    if (channel >= m_channels.size())
        return;
    holdAlarm(channel, m_channels[channel], kind, wallNowMs() + std::int64_t(seconds) * 1000);
}

void RecordingScheduler::holdAlarm(std::uint32_t channel, ChannelState& state, AlarmKind kind, std::int64_t untilMs)
{
    const auto [it, raised] = state.alarms.emplace(kind, untilMs);
    if (!raised) {
        it->second = std::max(it->second, untilMs);
        return;
    }
    m_devices.notifyAlarm(channel, alarmKindText(kind), true);
}

void RecordingScheduler::setMotionCells(std::uint32_t channel, const MotionCells& cells)
{
    if (channel < m_channels.size())
        m_channels[channel].motion = cells;
}

void RecordingScheduler::detectMotion(std::uint32_t channel, ChannelState& state, std::int64_t nowMs)
{
    if (state.motion.none() || state.camera)
        return;  // a camera's picture has no square
    // The picture live streams show now: they start where the wall clock
    // says and play one picture every 40 ms.
    const auto index = static_cast<std::size_t>(nowMs / std::int64_t(kFrameIntervalMs)) % m_motionPath.frameCount();
    if (m_motionPath.moves(index, state.motion))
        holdAlarm(channel, state, AlarmKind::Motion, nowMs + kMotionHoldMs);
}

void RecordingScheduler::scheduleTick()
{
    m_tickTimer.expires_at(m_nextTick);
    m_tickTimer.async_wait([this](const boost::system::error_code& error) {
        if (error || m_stopped)
            return;
        tick();
        // Each tick comes when it is due; a late one never makes the next
        // ones come in a burst.
        m_nextTick = std::max(m_nextTick + kTick, std::chrono::steady_clock::now() + kTick / 2);
        scheduleTick();
    });
}

void RecordingScheduler::tick()
{
    const std::int64_t nowMs = wallNowMs();
    const LocalMoment moment = localMomentOf(nowMs);
    for (std::uint32_t channel = 0; channel < m_channels.size(); ++channel) {
        ChannelState& state = m_channels[channel];
        detectMotion(channel, state, nowMs);
        expireAlarms(channel, state, nowMs);
        step(channel, state, nowMs, moment);
    }
}

void RecordingScheduler::expireAlarms(std::uint32_t channel, ChannelState& state, std::int64_t nowMs)
{
    for (auto it = state.alarms.begin(); it != state.alarms.end();) {
        if (nowMs < it->second) {
            ++it;
            continue;
        }
        state.postUntilMs = std::max(state.postUntilMs, it->second + m_settings.postAlarmMs);
        m_devices.notifyAlarm(channel, alarmKindText(it->first), false);
        it = state.alarms.erase(it);
    }
}

void RecordingScheduler::step(std::uint32_t channel, ChannelState& state, std::int64_t nowMs,
                              const LocalMoment& moment)
{
    if (!state.loop)
        return;
    const std::size_t ready = state.loop->readyCount();
    if (state.position >= ready) {
        if (!state.loop->failed() || ready == 0)
            return;  // the picture due is not encoded yet
        state.position = 0;
    }
    if (state.loop->picture(state.position).key) {
        // A newer loop of the channel (its overlay changed) takes over at a
        // key picture it has at the same place.
        const auto latest = m_media.loop(channel, 0);
        if (latest && latest != state.loop && latest->frameCount() == state.loop->frameCount() &&
            state.position < latest->readyCount() && latest->picture(state.position).key)
            state.loop = latest;
    }
    Buffered frame;
    frame.loop = state.loop;
    frame.picture = state.position;
    frame.timeMs = nowMs;
    frame.sequence = state.sequence++;
    frame.key = state.loop->picture(state.position).key;
    state.position = (state.position + 1) % state.loop->frameCount();
    record(channel, state, frame, nowMs, moment);
}

void RecordingScheduler::takeCameraFrame(std::uint32_t channel, const CameraFeed& feed, const CameraFrame& frame)
{
    if (m_stopped || channel >= m_channels.size())
        return;
    ChannelState& state = m_channels[channel];
    if (state.plan.empty())
        return;
    Buffered buffered;
    buffered.annexB = frame.annexB;
    buffered.timeMs = frame.wallMs;
    buffered.sequence = state.sequence++;
    buffered.key = frame.key;
    if (frame.key)
        buffered.format = feed.format();
    // The schedule and the alarms follow the recorder's clock; the frame
    // keeps its own time.
    const std::int64_t nowMs = wallNowMs();
    record(channel, state, buffered, nowMs, localMomentOf(nowMs));
}

void RecordingScheduler::cameraLost(std::uint32_t channel)
{
    if (m_stopped || channel >= m_channels.size())
        return;
    ChannelState& state = m_channels[channel];
    // What was kept shows a picture that is gone; the segment ends here and
    // the next one begins with the first key frame once the camera is back.
    state.kept.clear();
    if (state.current)
        m_writer.finish(channel);
    state.current.reset();
    state.needKey = false;
}

void RecordingScheduler::record(std::uint32_t channel, ChannelState& state, const Buffered& frame, std::int64_t nowMs,
                                const LocalMoment& moment)
{
    // The frames of the last pre-alarm seconds (by their own times),
    // beginning with a key frame.
    state.kept.push_back(frame);
    while (!state.kept.empty() && state.kept.front().timeMs < frame.timeMs - m_settings.preAlarmMs)
        state.kept.pop_front();
    while (!state.kept.empty() && !state.kept.front().key)
        state.kept.pop_front();

    const bool alarmWindow = !state.alarms.empty() || nowMs < state.postUntilMs;
    const std::optional<RecordType> want = state.plan.decide(moment, alarmWindow);
    if (want == state.current) {
        if (state.current)
            send(channel, state, frame, *state.current);
        return;
    }
    if (!want) {
        m_writer.finish(channel);
        state.current.reset();
        return;
    }
    if (state.current) {
        // The type changes at the next key frame; until then the segment
        // goes on as it was.
        if (frame.key)
            state.current = want;
        send(channel, state, frame, *state.current);
        return;
    }
    if (*want == RecordType::Alarm && !state.kept.empty()) {
        state.current = want;
        state.needKey = false;
        for (const Buffered& kept : state.kept)
            send(channel, state, kept, RecordType::Alarm);
        return;
    }
    if (frame.key) {
        state.current = want;
        state.needKey = false;
        send(channel, state, frame, *want);
    }
}

void RecordingScheduler::send(std::uint32_t channel, ChannelState& state, const Buffered& frame, RecordType type)
{
    if (state.needKey && !frame.key)
        return;
    media::FrameFields fields;
    fields.kind = frame.key ? media::MediaKind::VideoKey : media::MediaKind::VideoDelta;
    fields.channel = static_cast<std::uint8_t>(channel);
    fields.streamType = 0;
    fields.sequence = frame.sequence;
    fields.time = media::FrameTime{static_cast<std::uint32_t>(frame.timeMs / 1000),
                                   static_cast<std::uint32_t>(frame.timeMs % 1000)};
    std::vector<std::uint8_t> container;
    if (frame.loop) {
        if (frame.key) {
            const StreamProfile& profile = frame.loop->profile();
            fields.video = media::VideoInfo{profile.width, profile.height, profile.frameRate};
        }
        container = media::buildFrame(fields, frame.loop->picture(frame.picture).annexB);
    } else {
        if (frame.key)
            fields.video = media::VideoInfo{frame.format.width, frame.format.height, frame.format.frameRate,
                                            frame.format.codec};
        container = media::buildFrame(fields, *frame.annexB);
    }
    state.needKey = !m_writer.push(channel, type, frame.timeMs, frame.key, std::move(container));
}

Json::Value RecordingScheduler::recordingStatus() const
{
    const auto status = m_writer.status();
    Json::Value channels(Json::arrayValue);
    std::uint64_t bytes = 0, frames = 0, errors = 0, dropped = 0, recording = 0;
    for (std::uint32_t channel = 0; channel < m_channels.size(); ++channel) {
        const auto it = status.find(channel);
        const ChannelRecordingStatus s = it == status.end() ? ChannelRecordingStatus{} : it->second;
        Json::Value v(Json::objectValue);
        v["channel"] = channel;
        v["scheduled"] = !m_channels[channel].plan.empty();
        v["recording"] = s.recording;
        v["type"] = s.recording ? (s.type == RecordType::Alarm ? "A" : "N") : Json::Value();
        v["segment"] = s.recording ? Json::Value(s.segment) : Json::Value();
        v["bytesWritten"] = Json::UInt64(s.bytesWritten);
        v["framesWritten"] = Json::UInt64(s.framesWritten);
        v["framesDropped"] = Json::UInt64(s.framesDropped);
        v["writeErrors"] = Json::UInt64(s.writeErrors);
        v["lastError"] = s.lastError;
        channels.append(v);
        bytes += s.bytesWritten;
        frames += s.framesWritten;
        errors += s.writeErrors;
        dropped += s.framesDropped;
        recording += s.recording ? 1 : 0;
    }
    Json::Value v(Json::objectValue);
    v["ready"] = m_writer.ready();
    v["diskFault"] = m_writer.fault() != 0;
    v["channels"] = channels;
    v["recordingChannels"] = Json::UInt64(recording);
    v["bytesWritten"] = Json::UInt64(bytes);
    v["framesWritten"] = Json::UInt64(frames);
    v["framesDropped"] = Json::UInt64(dropped);
    v["writeErrors"] = Json::UInt64(errors);
    return v;
}

Json::Value RecordingScheduler::alarmStatus() const
{
    const std::int64_t nowMs = wallNowMs();
    Json::Value alarms(Json::arrayValue);
    for (std::uint32_t channel = 0; channel < m_channels.size(); ++channel) {
        const ChannelState& state = m_channels[channel];
        for (const auto& [kind, until] : state.alarms) {
            Json::Value v(Json::objectValue);
            v["channel"] = channel;
            v["kind"] = alarmKindText(kind);
            v["active"] = true;
            v["remainingMs"] = Json::Int64(std::max<std::int64_t>(0, until - nowMs));
            alarms.append(v);
        }
        if (state.alarms.empty() && nowMs < state.postUntilMs) {
            Json::Value v(Json::objectValue);
            v["channel"] = channel;
            v["active"] = false;
            v["postRemainingMs"] = Json::Int64(state.postUntilMs - nowMs);
            alarms.append(v);
        }
    }
    return alarms;
}

}  // namespace velk::recorder
