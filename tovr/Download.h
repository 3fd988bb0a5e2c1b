// SPDX-License-Identifier: GPL-3.0-or-later
// One clip download behind a command handle: a media connection of its own
// asks the recorder for one clip of one recording (openDownload) and the
// container frames that follow go to a local file (DownloadFile) through
// its writer thread.
//
// States, as GETPROGRESS reports them:
//   0 not ready: the recorder has not answered yet (it may be slow to
//     start; the library waits for as long as the connection lives);
//   1 running: answered, frames arriving;
//   2 failed: refused after the caller's wait, downloadError, connection
//     or login lost, a byte count other than announced, a clip of no
//     bytes, a write error; the ".part" file is gone when this is seen;
//   3 done: every announced byte arrived with downloadEnd, the file is
//     finished and renamed when this is seen.
// The connection's reading is held while the writer's queue is full, so a
// slow disk holds the recorder back instead of filling memory.
#pragma once

#include "Completion.h"
#include "DeviceConnection.h"
#include "DeviceListener.h"
#include "DownloadFile.h"
#include "HandleObject.h"
#include "LibraryConfig.h"
#include "MediaConnection.h"

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace velk::tovr {

struct DownloadParams {
    std::string deviceFileName;  // DEVFILENAME
    std::string savePath;        // SAVEFILENAME (the file is made as savePath + ".part")
    std::string start;           // STARTTIME, checked
    std::string end;             // ENDTIME, checked, not before start
};

enum class DownloadState : std::uint32_t { NotReady = 0, Running = 1, Failed = 2, Done = 3 };

struct DownloadProgress {
    DownloadState state = DownloadState::NotReady;
    std::uint32_t error = 0;         // the recorder's detail code after a refusal or downloadError
    std::uint64_t receivedBytes = 0;  // container bytes received
    std::uint64_t totalBytes = 0;     // announced; 0 until the answer
};

class Download : public HandleObject, public DeviceListener, public std::enable_shared_from_this<Download> {
public:
    Download(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<DeviceConnection> device,
             DownloadParams params);
    ~Download() override;

    // Creates the ".part" file and its writer; false when it cannot be
    // created. Call once, before open(). Caller's thread.
    bool createFile();
    // Opens the connection and waits for the recorder's answer up to the
    // request timeout: 0 (running, or not ready when no answer came in
    // time), or 5, 6, 7 (with the detail), 8. Caller's thread.
    CommandOutcome open();
    // A local read. Any thread.
    DownloadProgress progress() const;

    // Ends the download: the connection closes, the ".part" file is removed
    // unless the file is complete, and nothing is written after this
    // returns. Any thread but the I/O thread.
    void shutdown() override;

    // DeviceListener; I/O thread. The recorder ends a login's downloads
    // with the login, so a lost or closed device fails the download.
    void onDeviceOnline() override {}
    void onDeviceLost() override;
    void onDeviceClosed(bool loggedOut) override;
    void onKeyFrameWanted(std::uint32_t, std::uint32_t) override {}

private:
    // All of the following run on the I/O thread.
    void beginOpen();
    void onLate();
    void onOpened(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome);
    void onMedia(std::span<const std::string_view> payloads);
    void onNotify(const proto::Message& notification);
    // Ends the download as failed: the connection closes, the file is
    // aborted (its writer then reports the failure).
    void fail(std::uint32_t detail = 0);
    void dropConnection();

    // Writer thread.
    void onFileEnded(bool complete);

    asio::io_context& m_io;
    const LibraryConfig m_config;
    const std::shared_ptr<DeviceConnection> m_device;
    const DownloadParams m_params;
    std::unique_ptr<DownloadFile> m_file;  // set by createFile() before any other thread sees it

    const std::shared_ptr<Completion<CommandOutcome>> m_openDone = std::make_shared<Completion<CommandOutcome>>();

    // Written on the I/O thread (the state also on the writer thread), read
    // from any thread.
    std::atomic<DownloadState> m_state{DownloadState::NotReady};
    std::atomic<std::uint32_t> m_error{0};
    std::atomic<std::uint64_t> m_received{0};
    std::atomic<std::uint64_t> m_total{0};

    // I/O thread only:
    enum class Phase { Opening, Receiving, Finishing, Over };
    Phase m_phase = Phase::Opening;
    bool m_answeredLate = false;  // the caller's wait ended before the answer
    std::uint32_t m_channel = 0;
    std::shared_ptr<MediaConnection> m_connection;
};

}  // namespace velk::tovr
