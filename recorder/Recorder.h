// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated recorder: its device-protocol server and its web server on
// one I/O thread, the synthetic media their streams play (encoded on the
// media library's own threads), and what the web API reports and changes.
#pragma once

#include "CameraFeed.h"
#include "CombinedCatalog.h"
#include "DeviceServer.h"
#include "HistoryRecordings.h"
#include "HostCheck.h"
#include "MediaLibrary.h"
#include "OverlayStore.h"
#include "RecorderOptions.h"
#include "RecordingScheduler.h"
#include "RecordingWriter.h"
#include "StoredRecordings.h"

#include <boost/asio.hpp>

#include <json/value.h>

#include <filesystem>
#include <memory>
#include <string>

namespace velk::recorder {

class HttpServer;

class Recorder {
public:
    Recorder(boost::asio::io_context& io, RecorderOptions options);
    ~Recorder();

    // Binds both ports; false (and message) on failure.
    bool start(std::string& message);
    void stop();

    std::uint16_t devicePort() const;
    std::uint16_t httpPort() const;
    const RecorderOptions& options() const { return m_options; }
    const std::filesystem::path& webFolder() const { return m_webFolder; }
    DeviceServer& devices() { return m_devices; }
    // The channels taken from cameras and video files; I/O thread.
    CameraFeeds& cameras() { return m_cameras; }
    // The names the web server answers to.
    const AllowedHosts& allowedHosts() const { return m_allowedHosts; }

    // What is recorded to <data>/recordings; null without a data folder.
    const StoredRecordings* storedRecordings() const { return m_stored.get(); }
    RecordingScheduler* recording() { return m_scheduler.get(); }
    RecordingWriter* recordingWriter() { return m_writer.get(); }

    // Every channel's overlay (read from the data folder at start).
    OverlayStore& overlays() { return m_overlays; }
    // Stores the channel's overlay and applies it: its pictures (loops
    // encoded again) and its motion alarms. False (and error) when it could
    // not be stored; nothing changes then.
    bool applyOverlay(std::uint32_t channel, const OverlaySettings& overlay, std::string& error);

    // GET /api/info
    Json::Value info() const;
    // GET /sim/status
    Json::Value status() const;
    // What is recorded: stored recordings and the generated history.
    const RecordingCatalog& recordings() const { return m_recordings; }

private:
    void startRecording();

    boost::asio::io_context& m_io;
    const RecorderOptions m_options;
    const std::filesystem::path m_webFolder;
    const AllowedHosts m_allowedHosts;
    OverlayStore m_overlays;
    MediaLibrary m_media;
    // The channels taken from cameras and video files (--source).
    CameraFeeds m_cameras;
    // Made at start when --history-days is above 0.
    std::unique_ptr<HistoryRecordings> m_history;
    CombinedCatalog m_recordings{nullptr, nullptr};
    DeviceServer m_devices;
    std::unique_ptr<HttpServer> m_http;
    std::unique_ptr<StoredRecordings> m_stored;
    std::unique_ptr<RecordingWriter> m_writer;
    std::unique_ptr<RecordingScheduler> m_scheduler;
};

}  // namespace velk::recorder
