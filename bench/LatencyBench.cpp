// SPDX-License-Identifier: GPL-3.0-or-later
// bench-preview-latency: latency from the recorder's frame time (the wall
// clock when it sent the frame) to the picture painted in its window, with
// 16 main streams open in a 960x540 control, beside the latency to the
// control's stream callback (the network alone) in the same run. Target:
// p95 within 60 ms.
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/LatencyProbe.h"
#include "bench/PreviewRig.h"

#include "preview/CChannelEX.h"


#include <string>

using bench::PreviewRig;

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {10, "seconds measured after a second of warm-up"}},
                                 {"channels", {16, "main streams open (1..16)"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-preview-latency");
        const int channels = static_cast<int>(std::clamp<long long>(options.get("channels"), 1, 16));
        bench::LatencyProbe probe;
        PreviewRig rig;
        if (!rig.start({QStringLiteral("--encode-ahead")}) || !rig.waitForEncodedLoops(120000) ||
            !rig.openAll(channels, 0, 20000))
            return 1;
        for (int i = 0; i < channels; ++i)
            probe.watch(*rig.window(i));
        PreviewRig::pump(1000);
        probe.clear();
        PreviewRig::pump(static_cast<int>(options.get("seconds") * 1000));
        const bench::Samples shown = probe.shown();
        const bench::Samples arrived = probe.arrived();

        report.section("Recorder frame time to picture shown, " + std::to_string(channels) + " main streams, " +
                       std::to_string(options.get("seconds")) + " s, " + std::to_string(shown.count()) + " pictures");
        report.figure("frame time to painted: median", shown.median(), "ms");
        report.figure("frame time to painted: p95", shown.percentile(95), "ms");
        report.figure("frame time to painted: max", shown.max(), "ms");
        report.reference("frame time to the stream callback (network alone): median", arrived.median(), "ms");
        report.reference("frame time to the stream callback (network alone): p95", arrived.percentile(95), "ms");
        report.target("p95 latency within 60 ms", !shown.empty() && shown.percentile(95) <= 60);
        return report.finish();
    });
}
