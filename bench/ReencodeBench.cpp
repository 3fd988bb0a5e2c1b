// SPDX-License-Identifier: GPL-3.0-or-later
// bench-recorder-reencode: what a changed overlay costs the recorder. One
// channel's loops (main and sub stream, as a viewer opens them) are
// encoded by the recorder's media library on its two encoder threads, in
// this process; then the channel's overlay changes (a mask and a moved
// text) and the library encodes both loops again and swaps them in. For
// each round: the CPU time (this process, all threads; the main thread only
// looks every 5 ms) and the wall time from the change to both new loops
// swapped in, against the initial encoding of the same loops measured in
// the same round. Then five changes in a row: how many encodings they cost
// (they coalesce) and the wall time to the last one.
// Targets: a re-encoding costs at most 1.25 times the initial encoding's
// CPU (the same work: nothing else is encoded again) and is swapped in
// within 3 s (the pictures show a change "within seconds").
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/Samples.h"

#include "MediaLibrary.h"

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

using namespace velk::recorder;

namespace {

constexpr double kCpuRatioTarget = 1.25;
constexpr double kWallTargetMs = 3000;
constexpr std::uint32_t kChannel = 0;

struct Cost {
    double cpuMs = 0;
    double wallMs = 0;
};

// Runs start, then looks every 5 ms until done holds (at most a minute).
Cost measure(const std::function<void()>& start, const std::function<bool()>& done)
{
    const std::uint64_t cpu0 = bench::processCpuUs();
    const std::uint64_t wall0 = bench::monotonicUs();
    start();
    const std::uint64_t deadline = wall0 + 60'000'000;
    while (!done() && bench::monotonicUs() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return Cost{double(bench::processCpuUs() - cpu0) / 1000.0, double(bench::monotonicUs() - wall0) / 1000.0};
}

std::uint64_t reencodesOf(const MediaLibrary& media, std::uint32_t type)
{
    for (const auto& loop : media.status())
        if (loop["channel"].asUInt() == kChannel && loop["streamType"].asUInt() == type)
            return loop["reencodes"].asUInt64();
    return 0;
}

bool reencoding(const MediaLibrary& media)
{
    for (const auto& loop : media.status())
        if (loop["reencoding"].asBool())
            return true;
    return false;
}

OverlaySettings changedOverlay(int round)
{
    OverlaySettings s = OverlaySettings::defaults(kChannel);
    s.masks.push_back(OverlayRect{16 + 8 * round, 32, 120, 80});
    s.osd[0].x = 400;
    s.osd[0].y = 100;
    s.osd[2] = OsdItem{"Yard " + std::to_string(round), 300, 160, true};
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"rounds", {5, "rounds, each on a fresh media library"}},
                                 {"burst", {5, "changes in a row for the coalescing figure"}}});
    if (!options.parse(argc, argv))
        return 2;
    if (options.helpShown())
        return 0;
    av_log_set_level(AV_LOG_ERROR);  // no encoder statistics on stderr
    const int rounds = static_cast<int>(std::max<long long>(options.get("rounds"), 1));
    const int burst = static_cast<int>(std::max<long long>(options.get("burst"), 2));

    bench::BenchReport report("bench-recorder-reencode");
    report.note("channel " + std::to_string(kChannel) + ": main (704x576) and sub (352x288) loops of " +
                std::to_string(MediaLibrary::kLoopFrames) + " pictures, 2 encoder threads, " +
                std::to_string(rounds) + " rounds");

    bench::Samples initialCpu, initialWall, againCpu, againWall, ratio;
    for (int round = 0; round < rounds; ++round) {
        MediaLibrary media(2);
        if (!media.canEncode()) {
            report.note("no H.264 encoder: nothing measured");
            return report.finish();
        }
        std::shared_ptr<const EncodedLoop> main, sub;
        const Cost initial = measure(
            [&] {
                main = media.loop(kChannel, 0);
                sub = media.loop(kChannel, 1);
            },
            [&] { return main->complete() && sub->complete(); });
        const Cost again = measure([&] { media.setOverlay(kChannel, changedOverlay(round)); },
                                   [&] { return reencodesOf(media, 0) == 1 && reencodesOf(media, 1) == 1; });
        initialCpu.add(initial.cpuMs);
        initialWall.add(initial.wallMs);
        againCpu.add(again.cpuMs);
        againWall.add(again.wallMs);
        ratio.add(initial.cpuMs > 0 ? again.cpuMs / initial.cpuMs : 0);
        media.stop();
    }

    report.section("one channel encoded again after an overlay change (median of rounds)");
    report.figure("re-encode CPU (main + sub)", againCpu.median(), "ms");
    report.reference("initial encode CPU of the same loops", initialCpu.median(), "ms");
    report.figure("re-encode wall time to both swapped in", againWall.median(), "ms");
    report.reference("initial encode wall time", initialWall.median(), "ms");
    report.figure("re-encode CPU / initial CPU", ratio.median(), "x");
    report.figure("re-encode wall time, max of rounds", againWall.max(), "ms");

    // Changes in a row while the first is encoded: one encoding now and one
    // more with the newest overlay.
    {
        MediaLibrary media(2);
        const auto main = media.loop(kChannel, 0);
        const auto sub = media.loop(kChannel, 1);
        while (!main->complete() || !sub->complete())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const Cost coalesced = measure(
            [&] {
                for (int i = 0; i < burst; ++i)
                    media.setOverlay(kChannel, changedOverlay(i));
            },
            [&] { return !reencoding(media) && reencodesOf(media, 0) > 0 && reencodesOf(media, 1) > 0; });
        report.section(std::to_string(burst) + " changes in a row");
        report.figure("encodings of the main loop they cost", double(reencodesOf(media, 0)), "");
        report.figure("CPU", coalesced.cpuMs, "ms");
        report.figure("wall time to the newest swapped in", coalesced.wallMs, "ms");
        report.target("changes in a row coalesce into at most 2 encodings", reencodesOf(media, 0) <= 2);
        media.stop();
    }

    report.target("re-encode CPU at most " + std::to_string(kCpuRatioTarget).substr(0, 4) + "x the initial encode",
                  ratio.median() <= kCpuRatioTarget);
    report.target("re-encode swapped in within 3 s (median)", againWall.median() <= kWallTargetMs);
    return report.finish();
}
