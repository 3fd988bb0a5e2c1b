// SPDX-License-Identifier: GPL-3.0-or-later
// Clip downloads through libTOVR's entry point against a real velk-recorder
// with a day of generated history: the file against the frames the
// recorder serves for the range, its header, several at once, the slow
// start, failures midway (downloadError, dropped connections, a killed
// recorder, a full disk, a logout), stops, unknown handles and malformed
// commands. The library runs with short timeouts (TovrTestMain.cpp): a
// 1.5 s request timeout stands for the 5 s one.
#include "CommandTexts.h"
#include "HttpClient.h"
#include "RawDeviceClient.h"
#include "RecorderProcess.h"

#include "DeviceTime.h"
#include "HistoryRecordings.h"

#include "TOVR.h"

#include "proto/DetailCode.h"
#include "proto/Hello.h"
#include "proto/JsonText.h"
#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <thread>

using namespace velk::recorder;
using nettest::call;
using nettest::httpGet;
using nettest::httpPost;
using nettest::RawDeviceClient;
using nettest::RecorderProcess;
namespace proto = velk::proto;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kChannels = 3;
// TovrTestMain.cpp's request timeout.
constexpr int kRequestTimeoutMs = 1500;

std::string downloadText(std::uint32_t device, const std::string& file, const std::string& save,
                         const std::string& start, const std::string& end)
{
    Json::Value root;
    root["KEY"] = "DOWNLOADVIDEO";
    Json::Value& p = root["PARAM"];
    p["HDEV"] = device;
    p["DEVFILENAME"] = file;
    p["SAVEFILENAME"] = save;
    p["STARTTIME"] = start;
    p["ENDTIME"] = end;
    return proto::writeJson(root);
}

std::string commandText(const char* key, std::uint32_t handle)
{
    return std::string(R"({"KEY":")") + key + R"(","PARAM":{"HCOM":)" + std::to_string(handle) + "}}";
}

std::string compact(std::int64_t ms)
{
    return formatCompact(toLocal(ms));
}

// GETPROGRESS's RESPONSE; null when the call failed.
Json::Value progress(std::uint32_t handle)
{
    char response[1000] = {};
    const std::string text = commandText("GETPROGRESS", handle);
    if (TOVR_JsonCommand(text.c_str(), nullptr, response, sizeof response, nullptr) != 0)
        return Json::Value();
    Json::Value root;
    if (!proto::parseJsonObject(response, root))
        return Json::Value();
    return root["RESPONSE"];
}

std::uint32_t stateOf(std::uint32_t handle)
{
    return progress(handle)["STATE"].asUInt();
}

// Waits until the download's state is one of these; the states seen on the
// way (distinct, in order) go to seen.
bool waitForState(std::uint32_t handle, const std::set<std::uint32_t>& states, int timeoutMs,
                  std::vector<std::uint32_t>* seen = nullptr)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const Json::Value p = progress(handle);
        if (p.isNull())
            return false;
        const std::uint32_t state = p["STATE"].asUInt();
        if (seen && (seen->empty() || seen->back() != state))
            seen->push_back(state);
        if (states.count(state))
            return true;
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// velk-264-info --json on the file: its exit code and report.
std::pair<int, Json::Value> fileInfo(const fs::path& path)
{
    const std::string command = std::string(VELK_264_INFO_PATH) + " --json '" + path.string() + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {-1, {}};
    std::string out;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    const int status = ::pclose(pipe);
    Json::Value root;
    proto::parseJsonObject(out, root);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, root};
}

std::int64_t frameTimeMs(std::string_view bytes)
{
    const auto view = media::parseFrame(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    if (!view || !view->time)
        return -1;
    return std::int64_t(view->time->seconds) * 1000 + view->time->milliseconds;
}

class Download : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_recorder = std::make_unique<RecorderProcess>(std::vector<std::string>{
            "--user", "admin:admin", "--channels", std::to_string(kChannels), "--history-days", "1"});
        if (!s_recorder->started())
            return;
        for (int i = 0; i < 600 && s_startMs == 0; ++i) {
            s_startMs = httpGet(s_recorder->httpPort(), "/sim/status").json["historyStartMs"].asInt64();
            if (s_startMs == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    static void TearDownTestSuite() { s_recorder.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(s_recorder->started()) << s_recorder->firstLine();
        ASSERT_GT(s_startMs, 0);
        m_folder = fs::temp_directory_path() / ("velk-download-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        ASSERT_EQ(call(nettest::loginText(port(), "admin", "admin", 0), &m_device), 0);
    }
    void TearDown() override
    {
        for (const std::uint32_t handle : m_downloads)
            call(commandText("STOPCOMMAND", handle));
        if (m_device)
            call(nettest::logoutText(m_device));
        // Faults of one test do not reach the next.
        httpPost(httpPort(), "/sim/download?action=slowstart&seconds=0");
        httpPost(httpPort(), "/sim/download?action=pace&kib=0");
        fs::remove_all(m_folder);
    }

    std::uint16_t port() const { return s_recorder->devicePort(); }
    std::uint16_t httpPort() const { return s_recorder->httpPort(); }

    // Yesterday's first span of the channel at least this long.
    static std::optional<RecordSpan> longSpan(std::uint32_t channel, std::int64_t minMs)
    {
        const LocalDate yesterday = addDays(toLocal(s_startMs).date, -1);
        for (const RecordSpan& span : historyDaySpans(channel, yesterday))
            if (span.endMs - span.startMs >= minMs)
                return span;
        return std::nullopt;
    }

    // DOWNLOADVIDEO; the handle is stopped at the end of the test.
    std::int32_t start(const std::string& file, const fs::path& save, std::int64_t fromMs, std::int64_t toMs,
                       std::uint32_t* handle, std::uint32_t* detail = nullptr)
    {
        std::uint32_t h = 0;
        std::uint32_t d = 0;
        const auto result = call(downloadText(m_device, file, save.string(), compact(fromMs), compact(toMs)), &h, &d);
        if (result == 0)
            m_downloads.push_back(h);
        *handle = h;
        if (detail)
            *detail = d;
        return result;
    }

    std::int32_t stop(std::uint32_t handle)
    {
        std::erase(m_downloads, handle);
        return call(commandText("STOPCOMMAND", handle));
    }

    // The clip's frames as the recorder serves them on a raw connection.
    std::string rawClip(const std::string& file, std::int64_t fromMs, std::int64_t toMs)
    {
        RawDeviceClient control(port());
        if (control.login("admin", "admin") != 0)
            return {};
        RawDeviceClient media(port());
        proto::ClientHello hello;
        hello.role = proto::kRoleMedia;
        if (!media.sendMessage(proto::makeHello(hello)) || !media.readMessage())
            return {};
        Json::Value params(Json::objectValue);
        params["session"] = control.sessionToken();
        params["file"] = file;
        params["start"] = compact(fromMs);
        params["end"] = compact(toMs);
        if (!media.sendMessage(proto::Message::request(1, proto::kMethodOpenDownload, params)))
            return {};
        std::string bytes;
        while (auto frame = media.readFrame(20000)) {
            if (frame->type == proto::FrameType::Media) {
                bytes += frame->payload;
                continue;
            }
            const auto message = proto::decodeMessage(frame->payload);
            if (!message || (message->kind == proto::MessageKind::Response && message->code != 0))
                return {};
            if (message->name == proto::kEventDownloadEnd)
                return bytes;
            if (message->name == proto::kEventDownloadError)
                return {};
        }
        return {};
    }

    // Nothing of the download is left in the folder: no file, no ".part".
    bool folderEmpty() const { return fs::is_empty(m_folder); }

    // Runs a download of a long clip and calls cut once it is under way;
    // true when the cut came in the middle of it (a download that was done
    // first is tried again, a few times). The recorder sends slowly meanwhile
    // (a whole clip takes milliseconds on loopback), so the cut meets it
    // running.
    bool cutMidway(const std::function<void(std::uint32_t handle)>& cut, std::uint32_t* handle,
                   std::int64_t clipMs = 3'000'000)
    {
        const auto span = longSpan(0, clipMs);
        if (!span || httpPost(httpPort(), "/sim/download?action=pace&kib=1024").status != 200)
            return false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (start(span->fileName, m_folder / "cut.264", span->startMs, span->startMs + clipMs - 2000, handle) != 0)
                return false;
            if (!waitUntil([&] { return progress(*handle)["GETSIZE"].asUInt64() > 0 ||
                                        stateOf(*handle) >= 2; }, 20000))
                return false;
            cut(*handle);
            if (!waitForState(*handle, {2, 3}, 20000))
                return false;
            if (stateOf(*handle) == 2)
                return true;
            stop(*handle);
            fs::remove(m_folder / "cut.264");
        }
        return false;
    }

    fs::path m_folder;
    std::uint32_t m_device = 0;
    std::vector<std::uint32_t> m_downloads;
    static inline std::unique_ptr<RecorderProcess> s_recorder;
    static inline std::int64_t s_startMs = 0;
};

}  // namespace

TEST_F(Download, ClipIsTheRecordersFramesBehindAValidHeader)
{
    // Different channels and lengths, starting between key frames.
    const std::vector<std::pair<std::uint32_t, std::int64_t>> cases = {{0, 20'000}, {2, 95'000}};
    for (const auto& [channel, lengthMs] : cases) {
        const auto span = longSpan(channel, 300'000);
        ASSERT_TRUE(span) << channel;
        const std::int64_t fromMs = (span->startMs + 61'700) / 1000 * 1000;
        const std::int64_t toMs = fromMs + lengthMs;
        const fs::path save = m_folder / ("ch" + std::to_string(channel) + ".264");
        std::uint32_t handle = 0;
        ASSERT_EQ(start(span->fileName, save, fromMs, toMs, &handle), 0);
        EXPECT_NE(handle, 0u);
        ASSERT_TRUE(waitForState(handle, {2, 3}, 30000));
        const Json::Value p = progress(handle);
        ASSERT_EQ(p["STATE"].asUInt(), 3u) << proto::writeJson(p);
        EXPECT_EQ(p["ERROR"].asUInt(), 0u);
        EXPECT_EQ(p["GETSIZE"].asUInt64(), p["TOTALSIZE"].asUInt64());

        const std::string raw = rawClip(span->fileName, fromMs, toMs);
        ASSERT_FALSE(raw.empty());
        EXPECT_EQ(p["TOTALSIZE"].asUInt64(), raw.size());
        const std::string file = readFile(save);
        ASSERT_EQ(file.size(), recordfile::kDataOffset + raw.size());
        EXPECT_TRUE(file.substr(recordfile::kDataOffset) == raw) << "channel " << channel;
        EXPECT_FALSE(fs::exists(save.string() + ".part"));

        const auto header = recordfile::parseHeader(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
        ASSERT_EQ(header.state, recordfile::HeaderState::Valid) << header.problem;
        EXPECT_EQ(header.channel, static_cast<int>(channel));
        EXPECT_EQ(std::int64_t(header.firstTime.seconds) * 1000 + header.firstTime.milliseconds,
                  frameTimeMs(std::string_view(raw)));
        const auto [exitCode, info] = fileInfo(save);
        EXPECT_EQ(exitCode, 0) << proto::writeJson(info);
        EXPECT_EQ(info["header"].asString(), "valid");

        // A finished download answers until it is stopped, and its file stays.
        EXPECT_EQ(stop(handle), 0);
        EXPECT_TRUE(fs::exists(save));
        EXPECT_EQ(call(commandText("STOPCOMMAND", handle)), 1);
        EXPECT_TRUE(progress(handle).isNull());
    }
}

TEST_F(Download, SeveralAtOnceOnOneDevice)
{
    for (const std::uint32_t count : {2u, 3u}) {
        std::vector<std::uint32_t> handles;
        std::vector<std::pair<RecordSpan, fs::path>> clips;
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto span = longSpan(i, 600'000);
            ASSERT_TRUE(span);
            const fs::path save = m_folder / ("n" + std::to_string(count) + "-" + std::to_string(i) + ".264");
            std::uint32_t handle = 0;
            ASSERT_EQ(start(span->fileName, save, span->startMs, span->startMs + 300'000, &handle), 0);
            handles.push_back(handle);
            clips.emplace_back(*span, save);
        }
        EXPECT_EQ(std::set<std::uint32_t>(handles.begin(), handles.end()).size(), count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ASSERT_TRUE(waitForState(handles[i], {2, 3}, 60000));
            ASSERT_EQ(stateOf(handles[i]), 3u);
            const auto& [span, save] = clips[i];
            const std::string raw = rawClip(span.fileName, span.startMs, span.startMs + 300'000);
            ASSERT_FALSE(raw.empty());
            EXPECT_TRUE(readFile(save).substr(recordfile::kDataOffset) == raw) << count << " at once, #" << i;
        }
    }
}

TEST_F(Download, SlowStartIsNotReadyThenRunsToTheEnd)
{
    const auto span = longSpan(1, 600'000);
    ASSERT_TRUE(span);
    // Longer than the request timeout and than the library's silence
    // timeout on a media connection: the recorder's heartbeats keep it.
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=slowstart&seconds=5").status, 200);
    const fs::path save = m_folder / "slow.264";
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, save, span->startMs, span->startMs + 590'000, &handle), 0);
    Json::Value p = progress(handle);
    EXPECT_EQ(p["STATE"].asUInt(), 0u);
    EXPECT_EQ(p["TOTALSIZE"].asUInt64(), 0u);
    // What a program killed now would leave: a ".part" file whose header
    // velk-264-info reports missing.
    ASSERT_TRUE(fs::exists(save.string() + ".part"));
    EXPECT_EQ(fileInfo(save.string() + ".part").second["header"].asString(), "missing");
    std::vector<std::uint32_t> seen;
    ASSERT_TRUE(waitForState(handle, {2, 3}, 30000, &seen));
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 1, 3}));
    EXPECT_TRUE(fs::exists(save));
    EXPECT_FALSE(fs::exists(save.string() + ".part"));
}

TEST_F(Download, NotReadyStaysSoUntilStoppedAndLeavesNothing)
{
    const auto span = longSpan(1, 60'000);
    ASSERT_TRUE(span);
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=slowstart&seconds=60").status, 200);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, m_folder / "waiting.264", span->startMs, span->startMs + 10'000, &handle), 0);
    // Well past the request timeout and the silence timeout it still waits
    // (the caller decides when to give up).
    const auto until = Clock::now() + std::chrono::milliseconds(3 * kRequestTimeoutMs);
    while (Clock::now() < until) {
        ASSERT_EQ(stateOf(handle), 0u);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(stop(handle), 0);
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, RecorderFailureMidwayLeavesNoFile)
{
    const auto span = longSpan(0, 600'000);
    ASSERT_TRUE(span);
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=fail").status, 200);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, m_folder / "failed.264", span->startMs, span->startMs + 300'000, &handle), 0);
    ASSERT_TRUE(waitForState(handle, {2, 3}, 30000));
    const Json::Value p = progress(handle);
    EXPECT_EQ(p["STATE"].asUInt(), 2u);
    EXPECT_EQ(p["ERROR"].asUInt(), std::uint32_t(proto::kDetailInternal));
    EXPECT_GT(p["GETSIZE"].asUInt64(), 0u);
    EXPECT_LT(p["GETSIZE"].asUInt64(), p["TOTALSIZE"].asUInt64());
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, DroppedConnectionLeavesNoFile)
{
    std::uint32_t handle = 0;
    ASSERT_TRUE(cutMidway([&](std::uint32_t) { httpPost(httpPort(), "/sim/download?action=drop"); }, &handle));
    EXPECT_EQ(progress(handle)["ERROR"].asUInt(), 0u);
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, LogoutFailsTheDownloadAndLeavesNoFile)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=slowstart&seconds=60").status, 200);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, m_folder / "logout.264", span->startMs, span->startMs + 10'000, &handle), 0);
    EXPECT_FALSE(folderEmpty());
    call(nettest::logoutText(m_device));
    m_device = 0;
    // The handle is still known, as a failure.
    ASSERT_TRUE(waitForState(handle, {2}, 5000));
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, UninitForgetsDownloadsAndRemovesTheirPartFiles)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=slowstart&seconds=60").status, 200);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, m_folder / "uninit.264", span->startMs, span->startMs + 10'000, &handle), 0);
    EXPECT_FALSE(folderEmpty());
    EXPECT_EQ(call(R"({"KEY":"UNINIT"})"), 0);
    EXPECT_TRUE(folderEmpty());
    EXPECT_TRUE(progress(handle).isNull());
    m_downloads.clear();
    m_device = 0;
}

TEST_F(Download, StopMidTransferLeavesNothing)
{
    const auto span = longSpan(0, 3'000'000);
    ASSERT_TRUE(span);
    // A slow link, so that the stop meets the download running.
    ASSERT_EQ(httpPost(httpPort(), "/sim/download?action=pace&kib=1024").status, 200);
    bool stoppedMidway = false;
    for (int attempt = 0; attempt < 5 && !stoppedMidway; ++attempt) {
        std::uint32_t handle = 0;
        ASSERT_EQ(start(span->fileName, m_folder / "stopped.264", span->startMs, span->startMs + 2'990'000, &handle),
                  0);
        ASSERT_TRUE(waitUntil([&] { return progress(handle)["GETSIZE"].asUInt64() > 0; }, 20000));
        stoppedMidway = stateOf(handle) == 1;
        EXPECT_EQ(stop(handle), 0);
        if (stoppedMidway) {
            EXPECT_TRUE(folderEmpty());
        }
        fs::remove(m_folder / "stopped.264");
    }
    EXPECT_TRUE(stoppedMidway);
}

TEST_F(Download, RecorderKilledMidwayLeavesNoFile)
{
    // A recorder of its own, as this one is killed.
    RecorderProcess recorder({"--user", "admin:admin", "--channels", "1", "--history-days", "1"});
    ASSERT_TRUE(recorder.started());
    ASSERT_TRUE(waitUntil([&] { return httpGet(recorder.httpPort(), "/sim/status").json["historyStartMs"].asInt64() > 0; },
                          30000));
    std::uint32_t device = 0;
    ASSERT_EQ(call(nettest::loginText(recorder.devicePort(), "admin", "admin", 0), &device), 0);
    // A slow link, so that the kill meets the download running.
    ASSERT_EQ(httpPost(recorder.httpPort(), "/sim/download?action=pace&kib=1024").status, 200);
    const auto span = longSpan(0, 1'200'000);
    ASSERT_TRUE(span);
    std::uint32_t handle = 0;
    const std::string text = downloadText(device, span->fileName, (m_folder / "killed.264").string(),
                                          compact(span->startMs), compact(span->startMs + 1'190'000));
    ASSERT_EQ(call(text, &handle), 0);
    m_downloads.push_back(handle);
    ASSERT_TRUE(waitUntil([&] { return progress(handle)["GETSIZE"].asUInt64() > 0 || stateOf(handle) >= 2; }, 20000));
    const bool midway = stateOf(handle) == 1;
    recorder.killHard();
    ASSERT_TRUE(waitForState(handle, {2, 3}, 10000));
    call(nettest::logoutText(device));
    if (!midway)
        GTEST_SKIP() << "the download was done before the recorder was killed";
    EXPECT_EQ(stateOf(handle), 2u);
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, FullDiskFailsTheDownloadAndLeavesNoFile)
{
    // A 1 MiB file system when one can be mounted, else a file size limit
    // of 1 MiB for this process: either way writes fail past 1 MiB.
    const fs::path small = m_folder / "small";
    fs::create_directories(small);
    // Undone however the test ends.
    struct SmallDisk {
        fs::path folder;
        bool mounted = false;
        rlimit saved{};
        ~SmallDisk()
        {
            if (mounted)
                ::umount(folder.c_str());
            else
                ::setrlimit(RLIMIT_FSIZE, &saved);
        }
    } disk{small};
    disk.mounted = ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=1m") == 0;
    const bool mounted = disk.mounted;
    ::getrlimit(RLIMIT_FSIZE, &disk.saved);
    if (!mounted) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = disk.saved;
        limited.rlim_cur = 1024 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    const auto span = longSpan(0, 600'000);
    ASSERT_TRUE(span);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, small / "full.264", span->startMs, span->startMs + 300'000, &handle), 0);
    EXPECT_TRUE(waitForState(handle, {2, 3}, 30000));
    const Json::Value p = progress(handle);
    EXPECT_EQ(p["STATE"].asUInt(), 2u) << (mounted ? "tmpfs" : "file size limit");
    EXPECT_GT(p["TOTALSIZE"].asUInt64(), 1024u * 1024u);
    EXPECT_TRUE(fs::is_empty(small));
}

TEST_F(Download, RefusalsAndEmptyRanges)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    std::uint32_t handle = 0;
    std::uint32_t detail = 0;
    // A name that names no recording, up to the longest name accepted.
    for (const std::string& file : {span->fileName + "x", std::string(512, 'a')}) {
        handle = 0;
        EXPECT_EQ(start(file, m_folder / "none.264", span->startMs, span->startMs + 5000, &handle, &detail), 7);
        EXPECT_EQ(detail, std::uint32_t(proto::kDetailBadRequest));
        EXPECT_EQ(handle, 0u);
        EXPECT_TRUE(folderEmpty());
    }
    // A range after the recording holds no frame: accepted, then a failure.
    ASSERT_EQ(start(span->fileName, m_folder / "empty.264", span->endMs + 60'000, span->endMs + 70'000, &handle), 0);
    ASSERT_TRUE(waitForState(handle, {2, 3}, 10000));
    EXPECT_EQ(stateOf(handle), 2u);
    EXPECT_EQ(progress(handle)["TOTALSIZE"].asUInt64(), 0u);
    EXPECT_TRUE(folderEmpty());
}

TEST_F(Download, UnknownHandlesAndSmallBuffers)
{
    char response[1000] = {};
    for (const std::uint32_t handle : {0u, 0x7fffffffu, m_device}) {
        const std::string progressCommand = commandText("GETPROGRESS", handle);
        EXPECT_EQ(TOVR_JsonCommand(progressCommand.c_str(), nullptr, response, sizeof response, nullptr), 1);
        EXPECT_EQ(call(commandText("STOPCOMMAND", handle)), 1);
    }
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    std::uint32_t handle = 0;
    ASSERT_EQ(start(span->fileName, m_folder / "b.264", span->startMs, span->startMs + 2000, &handle), 0);
    const std::string progressCommand = commandText("GETPROGRESS", handle);
    EXPECT_EQ(TOVR_JsonCommand(progressCommand.c_str(), nullptr, nullptr, 1000, nullptr), 1);
    EXPECT_EQ(TOVR_JsonCommand(progressCommand.c_str(), nullptr, response, 10, nullptr), 1);
    ASSERT_EQ(TOVR_JsonCommand(progressCommand.c_str(), nullptr, response, sizeof response, nullptr), 0);
    // Compact, members in order, 64-bit sizes as plain integers.
    const std::string text = response;
    EXPECT_EQ(text.rfind(R"({"RESPONSE":{"ERROR":)", 0), 0u) << text;
    EXPECT_NE(text.find(R"(,"GETSIZE":)"), std::string::npos) << text;
    EXPECT_EQ(text.find(' '), std::string::npos) << text;
    // The play commands do not take a download's handle.
    EXPECT_EQ(call(nettest::handleText("REMOTEPLAYSTOP", handle)), 1);
    EXPECT_EQ(stop(handle), 0);
    EXPECT_EQ(call(commandText("STOPCOMMAND", handle)), 1);
}

TEST_F(Download, MalformedCommandsAreRefused)
{
    const auto span = longSpan(0, 60'000);
    ASSERT_TRUE(span);
    const std::string file = span->fileName;
    const std::string save = (m_folder / "m.264").string();
    const std::string from = compact(span->startMs);
    const std::string to = compact(span->startMs + 5000);
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"unknown device", downloadText(m_device + 1000, file, save, from, to)},
        {"empty file name", downloadText(m_device, "", save, from, to)},
        {"file name of 513 bytes", downloadText(m_device, std::string(513, 'a'), save, from, to)},
        {"empty save name", downloadText(m_device, file, "", from, to)},
        {"relative save name", downloadText(m_device, file, "m.264", from, to)},
        {"save name of 4096 bytes", downloadText(m_device, file, "/" + std::string(4095, 'a'), from, to)},
        {"save name naming a folder", downloadText(m_device, file, m_folder.string() + "/", from, to)},
        {"folder missing", downloadText(m_device, file, (m_folder / "no" / "m.264").string(), from, to)},
        {"save name with a zero byte", downloadText(m_device, file, save + std::string(1, '\0') + "x", from, to)},
        {"13-digit start", downloadText(m_device, file, save, from.substr(1), to)},
        {"no 30 February", downloadText(m_device, file, save, "20260230101010", to)},
        {"hour 24", downloadText(m_device, file, save, from, to.substr(0, 8) + "240000")},
        {"end before start", downloadText(m_device, file, save, to, from)},
        {"numeric time", R"({"KEY":"DOWNLOADVIDEO","PARAM":{"HDEV":)" + std::to_string(m_device) +
                              R"(,"DEVFILENAME":"a","SAVEFILENAME":"/tmp/a","STARTTIME":20261207000000,"ENDTIME":"20261207000001"}})"},
        {"HDEV as text", R"({"KEY":"DOWNLOADVIDEO","PARAM":{"HDEV":")" + std::to_string(m_device) +
                              R"(","DEVFILENAME":"a","SAVEFILENAME":"/tmp/a","STARTTIME":"20261207000000","ENDTIME":"20261207000001"}})"},
    };
    for (const Case& c : cases) {
        std::uint32_t handle = 0;
        EXPECT_EQ(call(c.text, &handle), 1) << c.what;
        EXPECT_EQ(handle, 0u) << c.what;
    }
    // Without a handle output.
    EXPECT_EQ(call(downloadText(m_device, file, save, from, to), nullptr), 1);
    EXPECT_TRUE(folderEmpty());
    // The same start and end second is a range.
    std::uint32_t handle = 0;
    EXPECT_EQ(start(file, save, span->startMs + 5000, span->startMs + 5000, &handle), 0);
    EXPECT_TRUE(waitForState(handle, {3}, 10000));
}
