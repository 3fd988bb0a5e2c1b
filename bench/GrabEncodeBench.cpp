// SPDX-License-Identifier: GPL-3.0-or-later
// bench-grab-encode: the automation host's own cost of one page frame:
// grabbing what the user sees of a 960x540 control (ScreenGrabber) and
// encoding it as JPEG (FrameStreamer), with a 4-window and a 16-window
// grid of live main streams. The page benchmark prints these figures beside
// what reaches the page; each grid's figures are also printed as one line
//   GRAB_ENCODE grid=<n> grabMs=<median> encodeMs=<median> totalMs=<median> totalP95Ms=<p95> jpegKB=<mean>
// It has no target of its own: it is the reference for the page benchmark.
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "control/CVELK_DVRCtrl.h"
#include "host/FrameStreamer.h"
#include "host/ScreenGrabber.h"
#include "host/WindowStack.h"


#include <cstdio>
#include <string>

using bench::PreviewRig;

namespace {

struct GrabFigures {
    bench::Samples grabMs, encodeMs, totalMs, jpegKB;
};

// Grabs and encodes every 40 ms for the given time, as the host's streamer
// does on its timer. UI thread.
GrabFigures measure(const host::ScreenGrabber& grabber, int seconds)
{
    GrabFigures f;
    const std::uint64_t endUs = bench::monotonicUs() + std::uint64_t(seconds) * 1'000'000;
    while (bench::monotonicUs() < endUs) {
        PreviewRig::pump(40);
        const std::uint64_t startUs = bench::monotonicUs();
        const QImage picture = grabber.grab();
        const std::uint64_t grabbedUs = bench::monotonicUs();
        const QByteArray jpeg = host::FrameStreamer::encodeJpeg(picture);
        const std::uint64_t encodedUs = bench::monotonicUs();
        f.grabMs.add(double(grabbedUs - startUs) / 1000.0);
        f.encodeMs.add(double(encodedUs - grabbedUs) / 1000.0);
        f.totalMs.add(double(encodedUs - startUs) / 1000.0);
        f.jpegKB.add(double(jpeg.size()) / 1024.0);
    }
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {5, "seconds measured per grid"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-grab-encode");
        PreviewRig rig;
        if (!rig.start({QStringLiteral("--encode-ahead")}) || !rig.waitForEncodedLoops(120000))
            return 1;
        host::WindowStack stack;
        host::ScreenGrabber grabber(rig.control(), stack);
        const int seconds = static_cast<int>(std::max<long long>(options.get("seconds"), 1));

        for (const int grid : {4, 16}) {
            if (!rig.openAll(grid, 0, 20000))
                return 1;
            PreviewRig::pump(500);
            const GrabFigures f = measure(grabber, seconds);
            rig.control().StopPreviewAll(rig.deviceId());
            PreviewRig::pump(500);

            report.section("Host grab + JPEG encode of the 960x540 control, " + std::to_string(grid) +
                           "-window grid of live main streams, " + std::to_string(f.totalMs.count()) + " frames");
            report.figure("grab (ScreenGrabber::grab): median", f.grabMs.median(), "ms");
            report.figure("JPEG encode (quality 75): median", f.encodeMs.median(), "ms");
            report.figure("grab + encode: median", f.totalMs.median(), "ms");
            report.figure("grab + encode: p95", f.totalMs.percentile(95), "ms");
            report.figure("JPEG size: mean", f.jpegKB.mean(), "KB");
            std::printf("GRAB_ENCODE grid=%d grabMs=%.2f encodeMs=%.2f totalMs=%.2f totalP95Ms=%.2f jpegKB=%.1f\n", grid,
                        f.grabMs.median(), f.encodeMs.median(), f.totalMs.median(), f.totalMs.percentile(95),
                        f.jpegKB.mean());
            std::fflush(stdout);
        }
        return report.finish();
    });
}
