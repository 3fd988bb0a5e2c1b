// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/BackupTask.h"

#include "device/CommandEnvelope.h"
#include "platform/Debug.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "playback/BackupFileName.h"
#include "playback/BackupMailbox.h"

#include "TOVR.h"

#include <json/reader.h>
#include <json/value.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <system_error>
#include <thread>

namespace playback {

namespace {

// The response buffer given to GETPROGRESS.
constexpr std::uint32_t kProgressBufferBytes = 1000;
// The longest device file name DOWNLOADVIDEO takes, in UTF-8 bytes.
constexpr std::size_t kMaxDeviceFileNameBytes = 512;

struct TimingStore {
    std::mutex timingsLock;  // guards timings
    BackupTimings timings;
};

TimingStore& timingStore()
{
    static auto* store = new TimingStore;
    return *store;
}

struct ThreadCount {
    std::mutex countLock;  // guards count
    std::condition_variable changed;
    int count = 0;
};

// Never destroyed: a detached backup thread may end while the process exits.
ThreadCount& threadCount()
{
    static auto* counter = new ThreadCount;
    return *counter;
}

std::atomic<std::uint64_t> g_nextSerial{0};

bool isUnsigned(const Json::Value& value)
{
    return value.isIntegral() && (value.isUInt64() || value.isUInt());
}

std::uint32_t sendStopCommand(std::uint32_t handle)
{
    CommandEnvelope command("STOPCOMMAND");
    command.uint("HCOM", handle);
    return static_cast<std::uint32_t>(sendCommand(command).result);
}

}  // namespace

void setBackupTimings(const BackupTimings& timings)
{
    TimingStore& store = timingStore();
    std::lock_guard<std::mutex> guard(store.timingsLock);
    store.timings = timings;
}

BackupTimings backupTimings()
{
    TimingStore& store = timingStore();
    std::lock_guard<std::mutex> guard(store.timingsLock);
    return store.timings;
}

std::optional<BackupState> parseBackupProgress(const std::string& response)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(response.data(), response.data() + response.size(), &root, &errors) || !root.isObject())
        return std::nullopt;
    const Json::Value& answer = root["RESPONSE"];
    if (!answer.isObject())
        return std::nullopt;
    const Json::Value& state = answer["STATE"];
    const Json::Value& got = answer["GETSIZE"];
    const Json::Value& total = answer["TOTALSIZE"];
    if (!isUnsigned(state) || !isUnsigned(got) || !isUnsigned(total) || state.asUInt64() > 0xFFFFFFFFu)
        return std::nullopt;
    return BackupState{static_cast<std::uint32_t>(state.asUInt64()), total.asUInt64(), got.asUInt64()};
}

int backupThreadsRunning()
{
    ThreadCount& counter = threadCount();
    std::lock_guard<std::mutex> guard(counter.countLock);
    return counter.count;
}

bool waitForBackupThreads(std::uint32_t timeoutMs)
{
    ThreadCount& counter = threadCount();
    std::unique_lock<std::mutex> lock(counter.countLock);
    return counter.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&counter] { return counter.count == 0; });
}

bool startBackupThread(std::function<void()> body)
{
    ThreadCount& counter = threadCount();
    {
        std::lock_guard<std::mutex> guard(counter.countLock);
        ++counter.count;
    }
    const auto ended = [] {
        ThreadCount& c = threadCount();
        std::lock_guard<std::mutex> guard(c.countLock);
        --c.count;
        c.changed.notify_all();
    };
    try {
        std::thread([body = std::move(body), ended]() mutable {
            body();
            body = nullptr;  // what it holds (the record) goes before the count drops
            ended();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        ended();
        return false;
    }
}

BackupTask::BackupTask(const BackupRequest& request)
    : m_request(request),
      m_keyUtf8(platform::toUtf8(request.key)),
      m_serial(++g_nextSerial),
      m_timings(backupTimings())
{
}

BackupTask::~BackupTask() = default;

BackupProgress BackupTask::progress() const
{
    return BackupProgress{m_totalBytes.load(), m_gotBytes.load()};
}

std::uint32_t BackupTask::commandHandle() const
{
    std::lock_guard<std::mutex> guard(m_handleLock);
    return m_stopRequested ? 0 : m_commandHandle;
}

void BackupTask::start()
{
    if (m_started)
        return;
    m_started = true;
    if (!startBackupThread([self = shared_from_this()] { self->download(); })) {
        platform::debugOutput("backup: no download thread\n");
        fail(kBackupFailed);
    }
}

void BackupTask::stop()
{
    std::uint32_t handle = 0;
    {
        std::lock_guard<std::mutex> guard(m_handleLock);
        m_stopRequested = true;
        m_stopping = true;
        handle = m_commandHandle;
        m_commandHandle = 0;
    }
    m_stopEvent.set();
    if (!m_pollerDone.wait(m_timings.pollerWaitMs))
        platform::debugOutput("backup: progress thread still busy after a stop\n");
    if (handle != 0)
        sendStopCommand(handle);
}

void BackupTask::leaveNote(std::uint32_t flag)
{
    if (m_stopping)
        return;  // the control no longer wants to hear of it
    BackupNote note;
    note.sessionId = m_request.sessionId;
    note.serial = m_serial;
    note.flag = flag;
    note.key = m_keyUtf8;
    note.progress = progress();
    leaveBackupNote(m_request.notifyWindow, std::move(note));
}

void BackupTask::fail(std::uint32_t flag)
{
    leaveNote(flag);
}

void BackupTask::download()
{
    const QString filePath =
        backupFilePath(m_request.saveFolder, m_request.address, static_cast<int>(m_request.webPort),
                       m_request.channel, m_request.deviceFileName, m_request.startDigits, m_request.endDigits);
    const std::string deviceFileName = platform::toUtf8(m_request.deviceFileName);
    if (filePath.isEmpty() || deviceFileName.empty() || deviceFileName.size() > kMaxDeviceFileNameBytes) {
        // A backup whose texts cannot be built fails at once rather than
        // holding its running place.
        platform::debugPrintf("backup %s: no usable file name\n", m_keyUtf8.c_str());
        fail(kBackupFailed);
        return;
    }
    const std::string savePath = platform::toUtf8(filePath);
    platform::createFoldersOf(savePath);

    if (m_stopping)
        return;
    m_totalBytes = 0;
    m_gotBytes = 0;
    CommandEnvelope command("DOWNLOADVIDEO");
    command.uint("HDEV", m_request.deviceHandle)
        .text("DEVFILENAME", deviceFileName)
        .text("SAVEFILENAME", savePath)
        .text("STARTTIME", platform::toUtf8(m_request.startDigits))
        .text("ENDTIME", platform::toUtf8(m_request.endDigits));
    const CommandResult sent = sendCommand(command, true);

    if (sent.result == TOVR_ERR_UNREACHABLE || sent.result == TOVR_ERR_BROKEN || sent.result == TOVR_ERR_TIMEOUT) {
        fail(kBackupUnreachable);
        return;
    }
    if (sent.result != TOVR_OK || sent.handle == 0) {
        // A success without a handle is a failure too: there is nothing to
        // poll, and the backup would hold its running place for ever.
        platform::debugPrintf("backup %s: DOWNLOADVIDEO %d\n", m_keyUtf8.c_str(), sent.result);
        fail(kBackupFailed);
        return;
    }
    bool stoppedMeanwhile = false;
    {
        std::lock_guard<std::mutex> guard(m_handleLock);
        stoppedMeanwhile = m_stopRequested;
        if (!stoppedMeanwhile) {
            m_commandHandle = sent.handle;
            m_pollerDone.reset();
        }
    }
    if (stoppedMeanwhile) {
        // Stopped while DOWNLOADVIDEO ran: the handle it gave is ours to stop,
        // or the download would write on with nobody to end it.
        sendStopCommand(sent.handle);
        return;
    }
    if (!startBackupThread([self = shared_from_this()] { self->poll(); })) {
        m_pollerDone.set();
        platform::debugOutput("backup: no progress thread\n");
        fail(kBackupFailed);
    }
}

void BackupTask::poll()
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point startTime = Clock::now();
    // A recorder not ready (STATE 0) is given up giveUpMs after the first
    // poll; a library that gives no readable answer (a handle it forgot) is
    // given up giveUpMs after its last readable one, instead of being asked
    // again and again for ever.
    Clock::time_point lastReadable = startTime;
    const std::int64_t giveUpMs = m_timings.giveUpMs;
    const auto msSince = [](Clock::time_point then) -> std::int64_t {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - then).count();
    };
    while (!m_stopEvent.isSet()) {
        const std::uint32_t handle = commandHandle();
        if (handle == 0)
            break;
        CommandEnvelope command("GETPROGRESS");
        command.uint("HCOM", handle);
        const CommandResult sent = sendCommand(command, false, false, kProgressBufferBytes);
        const std::optional<BackupState> state =
            sent.ok() ? parseBackupProgress(sent.response) : std::optional<BackupState>();
        if (!state) {
            if (msSince(lastReadable) >= giveUpMs) {
                fail(kBackupFailed);
                break;
            }
            m_stopEvent.wait(m_timings.retryMs);
            continue;
        }
        lastReadable = Clock::now();
        m_totalBytes = state->totalBytes;
        m_gotBytes = state->gotBytes;
        if (m_stopEvent.isSet())
            break;
        bool ended = false;
        switch (state->state) {
        case 0:
            platform::debugOutput("backup waiting...\n");
            leaveNote(kBackupWaiting);
            if (msSince(startTime) >= giveUpMs) {
                leaveNote(kBackupFailed);
                ended = true;
            }
            break;
        case 1:
            leaveNote(kBackupProgress);
            break;
        case 2:
            leaveNote(kBackupFailed);
            ended = true;
            break;
        case 3:
            leaveNote(kBackupDone);
            ended = true;
            break;
        default:
            break;
        }
        if (ended)
            break;
        m_stopEvent.wait(m_timings.pollIntervalMs);
    }
    m_pollerDone.set();
}

}  // namespace playback
