// SPDX-License-Identifier: GPL-3.0-or-later
// A camera source against a camera on loopback (tests/support/rtsp_server.py,
// GStreamer's RTSP server; skipped without it or the ffmpeg program): a
// password given percent-encoded, a camera that stops sending (hung, not
// gone) lost after the silence, and pictures again from a key frame once it
// sends again, with wall-clock times that never go back; the pause before
// connecting again back to the first after a while of good pictures.
#include "CameraSource.h"
#include "ParameterSets.h"
#include "SourceAddress.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace velk::recorder {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

bool serverAvailable(std::string& why)
{
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        why = "the ffmpeg program is not installed";
        return false;
    }
    if (std::system("/usr/bin/python3 -c 'import gi; gi.require_version(\"GstRtspServer\", \"1.0\"); "
                    "from gi.repository import GstRtspServer' >/dev/null 2>&1") != 0) {
        why = "GStreamer's RTSP server for Python is not installed";
        return false;
    }
    return true;
}

// rtsp_server.py as a child process, stopped (SIGSTOP) and continued at will.
class RtspServer {
public:
    bool start(const std::string& user, const std::string& mount, const std::string& file)
    {
        int out[2];
        if (::pipe(out) != 0)
            return false;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::dup2(out[1], 1);
            ::close(out[0]);
            ::close(out[1]);
            const std::string mountArg = mount + "=" + file;
            ::execl("/usr/bin/python3", "python3", VELK_RTSP_SERVER_SCRIPT, "--port", "0", "--user", user.c_str(),
                    "--mount", mountArg.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // "listening on PORT"
        std::string line;
        pollfd waiting{out[0], POLLIN, 0};
        char c = 0;
        while (line.find('\n') == std::string::npos && ::poll(&waiting, 1, 60000) == 1 && ::read(out[0], &c, 1) == 1)
            line += c;
        ::close(out[0]);
        const auto at = line.find("listening on ");
        if (at == std::string::npos)
            return false;
        m_port = static_cast<std::uint16_t>(std::stoi(line.substr(at + 13)));
        return true;
    }
    ~RtspServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    void hang() { ::kill(m_pid, SIGSTOP); }
    void wake() { ::kill(m_pid, SIGCONT); }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

class Collector : public CameraSourceSink {
public:
    void onSourceFrame(const CameraFormat&, CameraFrame frame) override
    {
        std::lock_guard lock(m_lock);
        m_events.push_back(frame.key ? 'K' : 'd');
        m_frames.push_back(std::move(frame));
        m_arrivals.push_back(std::chrono::steady_clock::now());
        m_changed.notify_all();
    }
    void onSourceLost(const std::string& reason) override
    {
        std::lock_guard lock(m_lock);
        m_events.push_back('L');
        m_losses.push_back(reason);
        m_changed.notify_all();
    }
    template <typename Condition>
    bool waitFor(Condition condition)
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, 60s, [&] { return condition(); });
    }
    std::size_t losses()
    {
        std::lock_guard lock(m_lock);
        return m_losses.size();
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_events;  // K key frame, d other frame, L loss
    std::vector<CameraFrame> m_frames;
    std::vector<std::chrono::steady_clock::time_point> m_arrivals;
    std::vector<std::string> m_losses;
};

TEST(CameraSourceRtsp, AHungCameraIsLostAndItsPicturesComeBackFromAKeyFrame)
{
    std::string why;
    if (!serverAvailable(why))
        GTEST_SKIP() << why;
    const fs::path folder = fs::temp_directory_path() / ("velk-camera-rtsp-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string file = (folder / "camera.mkv").string();
    ASSERT_EQ(std::system(("ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "
                           "testsrc2=size=480x270:rate=25:duration=3 -c:v libx264 -preset ultrafast -bf 2 -g 25 "
                           "-pix_fmt yuv420p '" + file + "'").c_str()),
              0);
    RtspServer server;
    ASSERT_TRUE(server.start("cam:p@ss:1", "/live", file));

    CameraSourceSettings settings;
    settings.address = withCredentials("rtsp://127.0.0.1:" + std::to_string(server.port()) + "/live", "cam", "p@ss:1");
    settings.shownAddress = shownAddress(settings.address);
    settings.silenceMs = 1500;
    settings.firstPauseMs = 100;
    settings.steadyMs = 500;
    std::mutex logLock;
    std::vector<std::string> pauses;  // "trying again in ..." of each loss
    settings.log = [&](const std::string& line) {
        std::lock_guard lock(logLock);
        EXPECT_EQ(line.find("p@ss"), std::string::npos) << line;
        if (const auto at = line.find("trying again in "); at != std::string::npos)
            pauses.push_back(line.substr(at + 16));
    };
    Collector collector;
    CameraSource source(settings, collector);
    source.start();
    ASSERT_TRUE(collector.waitFor([&] { return collector.m_frames.size() >= 30; }));

    server.hang();
    ASSERT_TRUE(collector.waitFor([&] { return !collector.m_losses.empty(); }));
    EXPECT_EQ(collector.m_losses[0], "no picture for 1500 ms");
    std::size_t framesAtLoss = 0;
    {
        std::lock_guard lock(collector.m_lock);
        framesAtLoss = collector.m_frames.size();
    }
    server.wake();
    // Pictures again for longer than steadyMs (a camera woken may first send
    // what it held back all at once).
    ASSERT_TRUE(collector.waitFor([&] {
        return collector.m_frames.size() > framesAtLoss + 30 &&
               collector.m_arrivals.back() - collector.m_arrivals[framesAtLoss] > 1s;
    }));
    // Hung again after more than steadyMs of pictures: the first pause again, not a doubled one.
    server.hang();
    ASSERT_TRUE(collector.waitFor([&] { return collector.m_losses.size() >= 2; }));
    server.wake();
    source.stop();
    {
        std::lock_guard lock(logLock);
        EXPECT_EQ(pauses, (std::vector<std::string>{"100 ms", "100 ms"}));
    }

    std::lock_guard lock(collector.m_lock);
    // Pictures, a loss, pictures again from a key frame, a loss.
    const auto loss = collector.m_events.find('L');
    ASSERT_NE(loss, std::string::npos);
    EXPECT_EQ(collector.m_events.find('L', loss + 1), collector.m_events.size() - 1) << collector.m_events;
    EXPECT_EQ(collector.m_events[0], 'K');
    EXPECT_EQ(collector.m_events[loss + 1], 'K') << collector.m_events;
    for (std::size_t i = 1; i < collector.m_frames.size(); ++i)
        EXPECT_GT(collector.m_frames[i].wallMs, collector.m_frames[i - 1].wallMs) << i;
    for (const auto& frame : collector.m_frames) {
        if (!frame.key)
            continue;
        const auto units = annexBUnits(*frame.annexB);
        ASSERT_GE(units.size(), 3u);
        std::size_t first = nalType(media::VideoCodec::H264, units[0]) == 9 ? 1 : 0;  // past a delimiter
        EXPECT_EQ(nalType(media::VideoCodec::H264, units[first]), 7);
        EXPECT_EQ(nalType(media::VideoCodec::H264, units[first + 1]), 8);
    }
    const auto status = source.status();
    EXPECT_EQ(status.reconnects, 1u);
    EXPECT_EQ(status.format, (CameraFormat{media::VideoCodec::H264, 480, 270, 25}));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace velk::recorder
