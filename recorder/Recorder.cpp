// SPDX-License-Identifier: GPL-3.0-or-later
#include "Recorder.h"

#include "HttpServer.h"

#include <iostream>
#include <set>

namespace velk::recorder {

namespace net = boost::asio;

namespace {

DeviceServerSettings deviceSettings(const RecorderOptions& options)
{
    DeviceServerSettings s;
    s.channels = options.channels;
    s.heartbeatMs = options.heartbeatMs;
    s.heartbeatTimeoutMs = options.heartbeatTimeoutMs;
    s.maxSessions = options.maxClients;
    s.handshakeTimeoutMs = options.handshakeTimeoutMs;
    return s;
}

void logLine(const std::string& line)
{
    std::cerr << "velk-recorder: " + line + "\n" << std::flush;
}

ChannelPolicy channelPolicy(const RecorderOptions& options)
{
    ChannelPolicy policy;
    for (const auto& [user, channel] : options.denied)
        policy.deny(user, channel);
    for (const auto channel : options.substreamOff)
        policy.setSubstreamEncoded(channel, false);
    return policy;
}

// The names given on the command line, and the bind address when it is one
// address (not 0.0.0.0 or ::): the recorder is reached by that too.
AllowedHosts namesOf(const RecorderOptions& options)
{
    std::vector<std::string> names = options.httpNames;
    boost::system::error_code error;
    const auto bind = net::ip::make_address(options.bindAddress, error);
    if (!error && !bind.is_unspecified())
        names.push_back(bind.is_v6() ? "[" + bind.to_string() + "]" : bind.to_string());
    return AllowedHosts(names);
}

}  // namespace

Recorder::Recorder(net::io_context& io, RecorderOptions options)
    : m_io(io),
      m_options(std::move(options)),
      m_webFolder(m_options.webDir),
      m_allowedHosts(namesOf(m_options)),
      m_overlays(m_options.dataDir, m_options.channels, logLine),
      m_media(2),
      m_devices(io, deviceSettings(m_options), UserTable(m_options.users), m_media, m_cameras, channelPolicy(m_options))
{
    for (const SourceOption& source : m_options.sources) m_cameras.addChannel(source.channel, !source.subUrl.empty());
    m_devices.setRecordings(&m_recordings);
    // Before any loop is made: every loop shows its channel's stored overlay.
    for (std::uint32_t channel = 0; channel < m_overlays.channels(); ++channel)
        m_media.setOverlay(channel, m_overlays.settings(channel));
}

bool Recorder::applyOverlay(std::uint32_t channel, const OverlaySettings& overlay, std::string& error)
{
    if (!m_overlays.save(channel, overlay, error))
        return false;
    m_media.setOverlay(channel, overlay);
    if (m_scheduler)
        m_scheduler->setMotionCells(channel, overlay.motion);
    return true;
}

Recorder::~Recorder()
{
    stop();
}

bool Recorder::start(std::string& message)
{
    boost::system::error_code error;
    const auto address = net::ip::make_address(m_options.bindAddress, error);
    if (error) {
        message = "bad bind address: " + m_options.bindAddress;
        return false;
    }
    if (!m_devices.listen(address, m_options.devicePort, message))
        return false;
    m_http = std::make_unique<HttpServer>(m_io, *this);
    if (!m_http->listen(address, m_options.httpPort, message))
        return false;
    if (!m_options.dataDir.empty()) {
        startRecording();
        m_recordings.setStored(m_stored.get());
    }
    if (m_options.historyDays > 0) {
        // The history plays the main-stream loops: made now, so that they
        // are ready (or nearly) when the first search or playback comes.
        std::vector<std::shared_ptr<const EncodedLoop>> loops;
        for (std::uint32_t channel = 0; channel < m_options.channels; ++channel)
            loops.push_back(m_cameras.hasChannel(channel) ? nullptr : m_media.loop(channel, 0));  // cameras: none
        m_history = std::make_unique<HistoryRecordings>(std::move(loops), static_cast<int>(m_options.historyDays),
                                                        wallClockMs());
        m_recordings.setHistory(m_history.get());
    }
    if (m_options.encodeAhead) {
        // Sub streams first: they are quick, and main streams then follow.
        // Camera channels show their cameras, never a loop.
        for (const std::uint32_t streamType : {1u, 0u})
            for (std::uint32_t channel = 0; channel < m_options.channels; ++channel)
                if (!m_cameras.hasChannel(channel))
                    m_media.loop(channel, streamType);
    }
    return true;
}

bool Recorder::startSources(std::string& message)
{
    if (m_sources || m_options.sources.empty())
        return true;
    m_sources = std::make_unique<CameraSources>(m_io, m_cameras, logLine);
    return m_sources->start(m_options.sources, message);
}

void Recorder::startRecording()
{
    m_stored = std::make_unique<StoredRecordings>(m_options.dataDir, m_options.channels);
    RecordingWriterSettings writing;
    writing.root = m_stored->folder();
    writing.segmentMs = std::int64_t(m_options.segmentSeconds) * 1000;
    writing.retention.maxAgeMs = std::int64_t(m_options.retainHours) * 3600 * 1000;
    writing.retention.maxBytes = m_options.retainBytes;
    writing.log = logLine;
    m_writer = std::make_unique<RecordingWriter>(std::move(writing), m_stored->table());
    RecordingSchedulerSettings scheduling;
    scheduling.channels = m_options.channels;
    scheduling.dataFolder = m_options.dataDir;
    scheduling.preAlarmMs = std::int64_t(m_options.preAlarmSeconds) * 1000;
    scheduling.postAlarmMs = std::int64_t(m_options.postAlarmSeconds) * 1000;
    m_scheduler = std::make_unique<RecordingScheduler>(m_io, m_media, *m_writer, m_devices, std::move(scheduling));
    for (std::uint32_t channel = 0; channel < m_overlays.channels(); ++channel)
        m_scheduler->setMotionCells(channel, m_overlays.settings(channel).motion);
    m_writer->start();
    m_scheduler->start();
}

void Recorder::stop()
{
    if (m_sources)
        m_sources->stop();
    if (m_scheduler)
        m_scheduler->stop();
    if (m_writer)
        m_writer->stop();
    m_devices.stop();
    if (m_http)
        m_http->stop();
    m_media.stop();
}

std::uint16_t Recorder::devicePort() const
{
    return m_devices.port();
}

std::uint16_t Recorder::httpPort() const
{
    return m_http ? m_http->port() : 0;
}

Json::Value Recorder::info() const
{
    Json::Value v(Json::objectValue);
    v["name"] = "velk-recorder";
    v["version"] = "1.0.0";
    v["channels"] = m_options.channels;
    v["devicePort"] = devicePort();
    v["httpPort"] = httpPort();
    Json::Value cameras(Json::arrayValue);
    for (const SourceOption& source : m_options.sources)
        cameras.append(source.channel);
    v["cameraChannels"] = cameras;
    // Channels whose sub stream is refused: switched off, or a camera given
    // no sub-stream address. The page then asks grids for the main stream.
    std::set<std::uint32_t> withoutSub(m_options.substreamOff.begin(), m_options.substreamOff.end());
    for (const SourceOption& source : m_options.sources)
        if (source.subUrl.empty())
            withoutSub.insert(source.channel);
    Json::Value noSub(Json::arrayValue);
    for (const std::uint32_t channel : withoutSub)
        noSub.append(channel);
    v["channelsWithoutSubStream"] = noSub;
    return v;
}

Json::Value Recorder::status() const
{
    const DeviceServerCounts counts = m_devices.counts();
    Json::Value v(Json::objectValue);
    v["ok"] = true;
    v["frozen"] = m_devices.frozen();
    v["connections"] = Json::UInt64(counts.connections);
    v["logins"] = Json::UInt64(counts.logins);
    v["loginsTotal"] = Json::UInt64(counts.loginsTotal);
    v["loginFailures"] = Json::UInt64(counts.loginFailures);
    v["logoutsTotal"] = Json::UInt64(counts.logoutsTotal);
    v["droppedForSilence"] = Json::UInt64(counts.droppedForSilence);
    v["streamsOpen"] = Json::UInt64(counts.streams);
    v["streamsTotal"] = Json::UInt64(counts.streamsTotal);
    v["streamsRefused"] = Json::UInt64(counts.streamsRefused);
    v["streams"] = m_devices.streamStatus();
    v["loops"] = m_media.status();
    if (m_scheduler) {
        v["recording"] = m_scheduler->recordingStatus();
        v["alarms"] = m_scheduler->alarmStatus();
    }
    v["playbacksOpen"] = Json::UInt64(counts.playbacks);
    v["playbacksTotal"] = Json::UInt64(counts.playbacksTotal);
    v["playbacksRefused"] = Json::UInt64(counts.playbacksRefused);
    v["downloadsTotal"] = Json::UInt64(counts.downloadsTotal);
    v["downloadsRefused"] = Json::UInt64(counts.downloadsRefused);
    v["playbacks"] = m_devices.playbackStatus();
    v["historyDays"] = m_options.historyDays;
    v["historyStartMs"] = Json::Int64(m_history ? m_history->startMs() : 0);
    v["sources"] = m_sources ? m_sources->status() : Json::Value(Json::arrayValue);
    return v;
}

}  // namespace velk::recorder
