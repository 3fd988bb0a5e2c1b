// SPDX-License-Identifier: GPL-3.0-or-later
// bench-preview-steady: 16 main streams open in a 960x540 control for a
// minute (--seconds): this process's CPU (user + system over wall time, in
// percent of one core), pictures shown per window, and frames dropped by
// the decoders' bounded queues after the first second (target 0). Beside
// them: the share of that CPU spent inside libavcodec, measured by the
// decoders themselves, and the recorder's own CPU.
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/LatencyProbe.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "preview/CChannelEX.h"


#include <cstdio>
#include <string>
#include <vector>

using bench::PreviewRig;

namespace {

constexpr int kChannels = 16;

struct Totals {
    std::uint64_t processCpuUs = 0;
    std::uint64_t recorderCpuUs = 0;
    std::uint64_t wallUs = 0;
    std::vector<MIVU_Statistics> decoders;
    std::vector<std::uint64_t> shown;
    std::vector<std::uint64_t> skipped;  // pictures the window replaced before painting
};

Totals snapshot(PreviewRig& rig)
{
    Totals t;
    t.processCpuUs = bench::processCpuUs();
    t.recorderCpuUs = rig.recorder().cpuUs();
    t.wallUs = bench::monotonicUs();
    for (int i = 0; i < kChannels; ++i) {
        MIVU_Statistics s{};
        rig.decoderStatistics(i, s);
        t.decoders.push_back(s);
        CChannelEX* w = rig.window(i);
        t.shown.push_back(w ? w->view().picturesShown() : 0);
        t.skipped.push_back(w ? w->view().picturesDropped() : 0);
    }
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {60, "seconds measured after the first second"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-preview-steady");
        bench::LatencyProbe probe;
        PreviewRig rig;
        if (!rig.start({QStringLiteral("--encode-ahead")}) || !rig.waitForEncodedLoops(120000) ||
            !rig.openAll(kChannels, 0, 20000))
            return 1;
        for (int i = 0; i < kChannels; ++i)
            probe.watch(*rig.window(i));
        PreviewRig::pump(1000);
        probe.clear();

        const Totals before = snapshot(rig);
        const long long seconds = std::max<long long>(options.get("seconds"), 1);
        for (long long done = 0; done < seconds; done += 10) {
            PreviewRig::pump(static_cast<int>(std::min<long long>(10, seconds - done) * 1000));
            if (seconds > 10)
                std::fprintf(stderr, "bench-preview-steady: %lld of %lld s\n", std::min(done + 10, seconds), seconds);
        }
        const Totals after = snapshot(rig);

        const double wallS = double(after.wallUs - before.wallUs) / 1e6;
        const double cpuPercent = double(after.processCpuUs - before.processCpuUs) / 1e4 / wallS;
        const double recorderPercent = double(after.recorderCpuUs - before.recorderCpuUs) / 1e4 / wallS;
        std::uint64_t dropped = 0, decodeUs = 0, decoderThreadUs = 0, decoded = 0, skipped = 0;
        bench::Samples shownPerSecond;
        for (int i = 0; i < kChannels; ++i) {
            const MIVU_Statistics& a = after.decoders[i];
            const MIVU_Statistics& b = before.decoders[i];
            dropped += a.framesDropped - b.framesDropped;
            decodeUs += a.decodeCpuUs - b.decodeCpuUs;
            decoderThreadUs += a.threadCpuUs - b.threadCpuUs;
            decoded += a.picturesDecoded - b.picturesDecoded;
            skipped += after.skipped[i] - before.skipped[i];
            shownPerSecond.add(double(after.shown[i] - before.shown[i]) / wallS);
        }

        report.section("16 main streams (704x576, 25 fps) for " + std::to_string(seconds) + " s after the first second");
        report.figure("this process's CPU (user + system over wall)", cpuPercent, "% core");
        report.reference("of which decoding inside libavcodec (16 decode threads)", double(decodeUs) / 1e4 / wallS,
                         "% core");
        report.figure("of which decode threads outside libavcodec (RGB, hand-off)",
                      double(decoderThreadUs - decodeUs) / 1e4 / wallS, "% core");
        report.figure("the recorder's CPU (another process)", recorderPercent, "% core");
        report.figure("pictures decoded per window per second (mean)", double(decoded) / kChannels / wallS, "fps");
        report.figure("pictures shown per window per second: slowest window", shownPerSecond.percentile(0), "fps");
        report.figure("pictures shown per window per second: median window", shownPerSecond.median(), "fps");
        report.figure("pictures replaced before painting (all windows)", double(skipped), "");
        report.figure("frames dropped at the decoders' queues (all windows)", double(dropped), "");
        const bench::Samples& latency = probe.shown();
        report.figure("frame time to painted: median", latency.median(), "ms");
        report.figure("frame time to painted: p95", latency.percentile(95), "ms");
        report.target("no frames dropped at steady state", dropped == 0);
        return report.finish();
    });
}
