// SPDX-License-Identifier: GPL-3.0-or-later
// Remote playback through the two libraries against a recorder with a day
// of generated history: REMOTEPLAY to the first picture in every window and
// REMOTEPLAYSEEK to the first picture of the new time, for 4 and 16
// channels; then 16 channels played at normal speed and 4 at 8 and 16 times
// (key frames only, as fast play asks for): this process's CPU, how far
// apart the windows' pictures are in frame time, frames dropped.
// References in the same run: REMOTEPLAY's own answer (the recorder's open,
// without decoding or drawing), and the CPU inside libavcodec.
#include "bench/BenchOptions.h"
#include "bench/BenchRecorder.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/HistorySpans.h"
#include "bench/LibraryCommands.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "MIVU.h"
#include "MIVUStream.h"
#include "TOVR.h"
#include "platform/RenderTarget.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <json/value.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMaxWindows = 16;
constexpr std::int64_t kDayMs = 86400000;

std::int32_t ignoreCallback(std::uint32_t, void*, const std::uint8_t*, std::uint32_t, std::uint32_t)
{
    return 0;
}

class Windows {
public:
    Windows()
    {
        for (int i = 0; i < kMaxWindows; ++i) {
            auto window = std::make_unique<platform::CRenderTargetWnd>();
            window->createWindow(nullptr, QRect((i % 4) * 480, (i / 4) * 270, 480, 270), 0, true);
            window->setShownHook([this, i](std::uint64_t frameTimeMs) { m_shownTime[i].store(frameTimeMs); });
            m_windows.push_back(std::move(window));
        }
    }
    Json::Value handles(int count) const
    {
        Json::Value list(Json::arrayValue);
        for (int i = 0; i < count; ++i)
            list.append(Json::UInt64(m_windows[i]->handle()));
        return list;
    }
    void forget()
    {
        for (auto& time : m_shownTime)
            time.store(0);
    }
    // Every one of these windows has painted a picture of at least this
    // frame time.
    bool allShownFrom(const std::vector<int>& which, std::uint64_t fromMs) const
    {
        for (const int i : which)
            if (m_shownTime[i].load() == 0 || m_shownTime[i].load() < fromMs)
                return false;
        return true;
    }
    std::uint64_t dropped(int count) const
    {
        std::uint64_t sum = 0;
        for (int i = 0; i < count; ++i)
            sum += m_windows[i]->picturesDropped();
        return sum;
    }

private:
    std::vector<std::unique_ptr<platform::CRenderTargetWnd>> m_windows;
    std::atomic<std::uint64_t> m_shownTime[kMaxWindows]{};
};

// Runs the event loop until done() or the timeout; the milliseconds it took,
// or -1 on timeout.
double waitMs(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (done())
            return double(clock.nsecsElapsed()) / 1e6;
        QThread::usleep(500);
    }
    return -1;
}

struct Play {
    std::uint32_t handle = 0;
    std::uint32_t decoder = 0;
};

Play remotePlay(std::uint32_t device, int count, const Windows& windows, std::int64_t startMs, double* answerMs)
{
    Json::Value root;
    root["KEY"] = "REMOTEPLAY";
    Json::Value& p = root["PARAM"];
    p["HDEV"] = device;
    p["CHANNEL"] = Json::UInt(count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1);
    p["STREAMTYPE"] = 0;
    p["FILETYPE"] = 2;
    p["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&ignoreCallback));
    p["USERDATA"] = 0;
    p["HWND"] = windows.handles(count);
    p["STARTTIME"] = bench::localDigitsText(startMs);
    Play play;
    QElapsedTimer clock;
    clock.start();
    if (bench::libraryCommand(root, &play.handle) != 0)
        play.handle = 0;
    if (answerMs)
        *answerMs = double(clock.nsecsElapsed()) / 1e6;
    Json::Value get;
    get["KEY"] = "GETDECODER";
    get["PARAM"]["HPLAY"] = play.handle;
    if (play.handle == 0 || bench::libraryCommand(get, &play.decoder) != 0)
        play.decoder = 0;
    return play;
}

void stopPlay(const Play& play)
{
    bench::libraryHandleCommand("REMOTEPLAYSTOP", "HPLAY", play.handle);
}

struct Steady {
    double cpu = 0;          // % of one core, this process
    double decodeCpu = 0;    // of which inside libavcodec
    double driftP95 = 0;     // ms between the windows' shown frame times
    double driftMax = 0;
    double shownPerSecond = 0;
    std::uint64_t dropped = 0;
};

Steady measureSteady(const Play& play, int count, const Windows& windows, long long seconds)
{
    const auto totals = [&](std::uint64_t& decodeUs, std::uint64_t& shown, std::uint64_t& dropped) {
        decodeUs = shown = dropped = 0;
        for (int i = 0; i < count; ++i) {
            MIVU_Statistics s{};
            if (MIVU_GetStatistics(play.decoder, i, &s) == 0) {
                decodeUs += s.decodeCpuUs;
                shown += s.picturesPresented;
                dropped += s.framesDropped;
            }
        }
    };
    waitMs([] { return false; }, 1500);  // settled
    std::uint64_t decode0 = 0, shown0 = 0, dropped0 = 0;
    totals(decode0, shown0, dropped0);
    const std::uint64_t windowDropped0 = windows.dropped(count);
    const std::uint64_t cpu0 = bench::processCpuUs();
    const std::uint64_t wall0 = bench::monotonicUs();
    bench::Samples drift;
    while (bench::monotonicUs() - wall0 < std::uint64_t(seconds) * 1000000) {
        waitMs([] { return false; }, 100);
        std::uint64_t low = UINT64_MAX, high = 0;
        for (int i = 0; i < count; ++i) {
            MIVU_Statistics s{};
            if (MIVU_GetStatistics(play.decoder, i, &s) == 0 && s.shownFrameTimeMs != 0) {
                low = std::min(low, s.shownFrameTimeMs);
                high = std::max(high, s.shownFrameTimeMs);
            }
        }
        if (high >= low && low != UINT64_MAX)
            drift.add(double(high - low));
    }
    const double wall = double(bench::monotonicUs() - wall0) / 1e6;
    std::uint64_t decode1 = 0, shown1 = 0, dropped1 = 0;
    totals(decode1, shown1, dropped1);
    Steady steady;
    steady.cpu = double(bench::processCpuUs() - cpu0) / 1e6 / wall * 100;
    steady.decodeCpu = double(decode1 - decode0) / 1e6 / wall * 100;
    steady.driftP95 = drift.count() ? drift.percentile(95) : -1;
    steady.driftMax = drift.count() ? drift.percentile(100) : -1;
    steady.shownPerSecond = double(shown1 - shown0) / wall;
    steady.dropped = (dropped1 - dropped0) + (windows.dropped(count) - windowDropped0);
    return steady;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {20, "seconds of each steady playback"}},
                                 {"rounds", {5, "opens and seeks measured for each channel count"}}});
    return bench::PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-remote-play");
        const long long seconds = std::max<long long>(options.get("seconds"), 1);
        const long long rounds = std::max<long long>(options.get("rounds"), 1);
        bench::BenchRecorder recorder;
        if (!recorder.start({QStringLiteral("--history-days"), QStringLiteral("1")}) ||
            !recorder.waitForLoops(kMaxWindows, 120000)) {
            std::fprintf(stderr, "bench-remote-play: the recorder did not start or encode its loops\n");
            return 1;
        }
        // Yesterday's recordings of every channel.
        const std::int64_t yesterdayMs = std::int64_t(std::time(nullptr)) * 1000 - kDayMs;
        const auto spans = bench::historySpans(recorder, yesterdayMs, kMaxWindows);

        TOVR_JsonCommand(R"({"KEY":"INIT"})", nullptr, nullptr, 0, nullptr);
        const std::uint32_t device = bench::libraryLogin(recorder);
        if (device == 0) {
            std::fprintf(stderr, "bench-remote-play: login failed\n");
            return 1;
        }
        Windows windows;

        for (const int count : {4, 16}) {
            const auto [startMs, covered] = bench::commonInstant(spans, count);
            bench::Samples open, seek, answer;
            int lost = 0;
            for (long long round = 0; round < rounds; ++round) {
                windows.forget();
                double answered = 0;
                QElapsedTimer clock;
                clock.start();
                const std::int64_t from = startMs + round * 1000;
                const Play play = remotePlay(device, count, windows, from, &answered);
                if (play.handle == 0) {
                    ++lost;
                    continue;
                }
                const std::vector<int> shownSlots = bench::coveredChannels(spans, count, from);
                const double shown = waitMs([&] { return windows.allShownFrom(shownSlots, 1); }, 5000);
                if (shown < 0)
                    ++lost;
                else {
                    open.add(answered + shown);
                    answer.add(answered);
                }
                // A seek some seconds on: the first pictures of the new time.
                const std::int64_t target = from + 8000;
                windows.forget();
                Json::Value root;
                root["KEY"] = "REMOTEPLAYSEEK";
                root["PARAM"]["HPLAY"] = play.handle;
                root["PARAM"]["STARTTIME"] = bench::localDigitsText(target);
                QElapsedTimer seekClock;
                seekClock.start();
                if (bench::libraryCommand(root) == 0) {
                    const std::vector<int> seekSlots = bench::coveredChannels(spans, count, target);
                    const double seekShown = waitMs(
                        [&] { return windows.allShownFrom(seekSlots, std::uint64_t(target) - 1000); }, 5000);
                    if (seekShown < 0)
                        ++lost;
                    else
                        seek.add(double(seekClock.nsecsElapsed()) / 1e6);
                } else {
                    ++lost;
                }
                stopPlay(play);
            }
            report.section(std::to_string(count) + " channels: to the first picture in every window, median of " +
                           std::to_string(open.count()) + " rounds");
            report.figure("REMOTEPLAY to the first picture in every window", open.count() ? open.median() : -1, "ms");
            report.figure("REMOTEPLAYSEEK to the first picture of the new time", seek.count() ? seek.median() : -1,
                          "ms");
            report.reference("REMOTEPLAY's own answer (the recorder's open)", answer.count() ? answer.median() : -1,
                             "ms");
            report.note(std::to_string(covered) + " of the " + std::to_string(count) +
                        " channels have a recording at the start time (the others show theirs when playback "
                        "reaches it); " + std::to_string(lost) + " open(s) or seek(s) showed no picture within 5 s");
            report.target("REMOTEPLAY to the first picture within 150 ms (" + std::to_string(count) + ", median)",
                          open.count() > 0 && open.median() <= 150);
            report.target("REMOTEPLAYSEEK to the first picture within 150 ms (" + std::to_string(count) +
                              ", median)",
                          seek.count() > 0 && seek.median() <= 150);
        }

        struct Case {
            int count;
            int speed;
        };
        for (const Case c : {Case{16, 1}, Case{4, 8}, Case{4, 16}}) {
            const auto [startMs, covered] = bench::commonInstant(spans, c.count);
            windows.forget();
            const Play play = remotePlay(device, c.count, windows, startMs, nullptr);
            if (play.handle == 0 || play.decoder == 0) {
                report.note("playback of " + std::to_string(c.count) + " channels did not open");
                continue;
            }
            if (c.speed > 1) {
                Json::Value lose;
                lose["KEY"] = "REMOTEPLAYLOSE";
                lose["PARAM"]["HPLAY"] = play.handle;
                lose["PARAM"]["VAL"] = 1;
                bench::libraryCommand(lose);
                MIVU_SetSpeed(play.decoder, c.speed);
            }
            const Steady steady = measureSteady(play, c.count, windows, seconds);
            stopPlay(play);
            const std::string what = std::to_string(c.count) + " channels at " + std::to_string(c.speed) + "x";
            report.section(what + (c.speed > 1 ? " (key frames only)" : "") + ", " + std::to_string(seconds) + " s");
            report.figure("this process's CPU", steady.cpu, "% core");
            report.figure("pictures shown", steady.shownPerSecond, "/s");
            report.figure("windows apart in frame time: p95", steady.driftP95, "ms");
            report.figure("windows apart in frame time: max", steady.driftMax, "ms");
            report.figure("frames or pictures dropped", double(steady.dropped), "");
            report.reference("of that CPU, inside libavcodec", steady.decodeCpu, "% core");
            report.note(std::to_string(covered) + " of the " + std::to_string(c.count) +
                        " channels have a recording at the start time");
            const double frame = c.speed > 1 ? 1000.0 : 40.0;  // a key frame a second when fast
            report.target("windows within one frame of each other (" + what + ", p95)",
                          steady.driftP95 >= 0 && steady.driftP95 <= frame);
            report.target("nothing dropped (" + what + ")", steady.dropped == 0);
        }
        bench::libraryHandleCommand("LOGOUT", "HDEV", device);
        TOVR_JsonCommand(R"({"KEY":"UNINIT"})", nullptr, nullptr, 0, nullptr);
        return report.finish();
    });
}
