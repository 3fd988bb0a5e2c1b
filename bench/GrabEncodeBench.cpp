// SPDX-License-Identifier: GPL-3.0-or-later
// bench-grab-encode: the automation host's own cost of one page frame:
// grabbing what the user sees of the control (ScreenGrabber) and encoding
// it as JPEG (FrameStreamer, libjpeg-turbo with BGRX input and the fast
// DCT), with a 4-window and a 16-window grid of live main streams in a
// 960x540 control, and a 16-window grid in a 1920x1080 one. Reference in
// the same run, on the same pictures: Qt's own JPEG writer at the same
// quality (what the host used before). The page benchmark prints these
// figures beside what reaches the page; each case is also printed as one line
//   GRAB_ENCODE size=<w>x<h> grid=<n> grabMs=<median> encodeMs=<median> totalMs=<median> totalP95Ms=<p95> jpegKB=<mean>
// Target: the host's encoder at most as slow as Qt's writer (median).
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "control/CVELK_DVRCtrl.h"
#include "host/FrameStreamer.h"
#include "host/ScreenGrabber.h"
#include "host/WindowStack.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QScreen>
#include <qpa/qwindowsysteminterface.h>


#include <cstdio>
#include <string>

using bench::PreviewRig;

namespace {

// The control and, headless, its screen take this size, as the host's
// $resize does.
void resizeControl(QWidget& control, QSize size)
{
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect geometry(screen->geometry().topLeft(), size);
        QWindowSystemInterface::handleScreenGeometryChange(screen, geometry, geometry);
        QWindowSystemInterface::flushWindowSystemEvents();
    }
    control.resize(size);
    PreviewRig::pump(200);
}

struct GrabFigures {
    bench::Samples grabMs, encodeMs, totalMs, jpegKB, qtEncodeMs, qtJpegKB;
};

QByteArray encodeWithQt(const QImage& image)
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(host::FrameStreamer::kJpegQuality);
    writer.write(image);
    return jpeg;
}

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
        const std::uint64_t qtStartUs = bench::monotonicUs();
        const QByteArray qtJpeg = encodeWithQt(picture);
        f.qtEncodeMs.add(double(bench::monotonicUs() - qtStartUs) / 1000.0);
        f.qtJpegKB.add(double(qtJpeg.size()) / 1024.0);
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

        struct Case {
            QSize size;
            int grid;
        };
        for (const Case c : {Case{{960, 540}, 4}, Case{{960, 540}, 16}, Case{{1920, 1080}, 16}}) {
            resizeControl(rig.control(), c.size);
            const int grid = c.grid;
            if (!rig.openAll(grid, 0, 20000))
                return 1;
            PreviewRig::pump(1000);
            const GrabFigures f = measure(grabber, seconds);
            rig.control().StopPreviewAll(rig.deviceId());
            PreviewRig::pump(500);

            const std::string size = std::to_string(c.size.width()) + "x" + std::to_string(c.size.height());
            report.section("Host grab + JPEG encode of the " + size + " control, " + std::to_string(grid) +
                           "-window grid of live main streams, " + std::to_string(f.totalMs.count()) + " frames");
            report.figure("grab (ScreenGrabber::grab): median", f.grabMs.median(), "ms");
            report.figure("JPEG encode (quality 75): median", f.encodeMs.median(), "ms");
            report.figure("grab + encode: median", f.totalMs.median(), "ms");
            report.figure("grab + encode: p95", f.totalMs.percentile(95), "ms");
            report.figure("JPEG size: mean", f.jpegKB.mean(), "KB");
            report.reference("JPEG encode with Qt's image writer, same pictures: median", f.qtEncodeMs.median(), "ms");
            report.reference("JPEG size with Qt's image writer: mean", f.qtJpegKB.mean(), "KB");
            report.target("the host's encoder at most as slow as Qt's writer (" + size + ", median)",
                          f.encodeMs.median() <= f.qtEncodeMs.median());
            std::printf("GRAB_ENCODE size=%s grid=%d grabMs=%.2f encodeMs=%.2f totalMs=%.2f totalP95Ms=%.2f "
                        "jpegKB=%.1f\n",
                        size.c_str(), grid, f.grabMs.median(), f.encodeMs.median(), f.totalMs.median(),
                        f.totalMs.percentile(95), f.jpegKB.mean());
            std::fflush(stdout);
        }
        return report.finish();
    });
}
