// SPDX-License-Identifier: GPL-3.0-or-later
// bench-cameras: two real cameras live beside fourteen synthetic channels in
// a 960x540 control. An RTSP server on loopback (GStreamer's) serves a 1080p
// H.265 camera and a 4 MP (2560x1440) H.264 camera with B-frames, made with
// FFmpeg at the start; the recorder takes CH01 and CH02 from them.
//
// Per camera stream: the decoder's CPU time inside libavcodec per picture,
// beside libavcodec alone decoding the very same packets (every frame the
// control received from that camera while measuring, captured on arrival)
// with the same options (one thread, low delay); and the latency from the
// frame's time (the recorder's clock when the camera's picture reached it)
// to the picture painted in its window, beside the latency to the control's
// stream callback (the network alone). Targets: decoding within 1.3x of
// libavcodec alone; pictures painted within 100 ms of the network's arrival
// at p95 (B-frames add their reordering delay on top: the network's
// figure does not include it).
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/DecodeAlone.h"
#include "bench/LatencyProbe.h"
#include "bench/PreviewRig.h"

#include "CameraServer.h"
#include "MIVUStream.h"
#include "preview/CChannelEX.h"
#include "proto/MediaFrame.h"

#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

using bench::PreviewRig;

namespace {

constexpr double kDecodeRatioTarget = 1.3;
constexpr double kPaintAfterArrivalTargetMs = 100;

struct Camera {
    const char* name;
    int channel;  // 0-based
    TestVideo video;
    const char* decoder;  // libavcodec's decoder for the reference
};

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {10, "seconds measured after two seconds of warm-up"}},
                                 {"video-seconds", {4, "length of the cameras' videos (played in a loop)"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-cameras");
        QString why;
        if (!CameraServer::available(&why)) {
            std::fprintf(stderr, "bench-cameras: %s\n", qPrintable(why));
            report.section("skipped: " + why.toStdString());
            return report.finish();
        }
        const double videoSeconds = double(std::max<long long>(1, options.get("video-seconds")));
        const std::vector<Camera> cameras = {
            {"1080p H.265", 0, {QStringLiteral("h265"), 1920, 1080, QStringLiteral("25"), videoSeconds, 0, 50}, "hevc"},
            {"4 MP H.264 with B-frames", 1,
             {QStringLiteral("h264"), 2560, 1440, QStringLiteral("25"), videoSeconds, 2, 50}, "h264"}};

        QTemporaryDir folder;
        CameraServer server;
        std::vector<std::pair<QString, QString>> mounts;
        for (const Camera& camera : cameras) {
            const QString path = folder.path() + QStringLiteral("/camera%1.mkv").arg(camera.channel);
            QString error;
            if (!makeTestVideo(camera.video, path, error)) {
                std::fprintf(stderr, "bench-cameras: %s\n", qPrintable(error));
                return 1;
            }
            mounts.emplace_back(QStringLiteral("/camera%1").arg(camera.channel), path);
        }
        if (!server.start(mounts)) {
            std::fprintf(stderr, "bench-cameras: the RTSP server did not start\n");
            return 1;
        }
        QStringList arguments{QStringLiteral("--encode-ahead")};
        for (const Camera& camera : cameras)
            arguments << QStringLiteral("--source")
                      << QStringLiteral("%1=%2").arg(camera.channel).arg(server.url(mounts[camera.channel].first));

        bench::LatencyProbe probe;
        PreviewRig rig;
        // The synthetic channels' main and sub loops.
        if (!rig.start(arguments) || !rig.recorder().waitForLoops(28, 120000) || !rig.openAll(16, 0, 30000))
            return 1;
        for (int i = 0; i < 16; ++i)
            probe.watch(*rig.window(i));
        PreviewRig::pump(2000);
        probe.clear();
        std::vector<MIVU_Statistics> before(16), after(16);
        for (int i = 0; i < 16; ++i)
            rig.decoderStatistics(i, before[i]);
        for (const Camera& camera : cameras)
            probe.capture(camera.channel);
        const int seconds = static_cast<int>(std::max<long long>(1, options.get("seconds")));
        const std::uint64_t wallStartMs = bench::wallClockMs();
        PreviewRig::pump(seconds * 1000);
        const double wallSeconds = double(bench::wallClockMs() - wallStartMs) / 1000.0;
        for (int i = 0; i < 16; ++i)
            rig.decoderStatistics(i, after[i]);

        for (const Camera& camera : cameras) {
            const MIVU_Statistics& b = before[camera.channel];
            const MIVU_Statistics& a = after[camera.channel];
            const std::uint64_t pictures = a.picturesDecoded - b.picturesDecoded;
            const double oursMs = pictures ? double(a.decodeCpuUs - b.decodeCpuUs) / 1000.0 / double(pictures) : 0;
            const bench::AloneDecode alone = bench::decodeAlone(probe.captured(camera.channel), camera.decoder);
            const double aloneMs = alone.pictures ? alone.decodeMs / double(alone.pictures) : 0;
            const bench::Samples shown = probe.shownIn(camera.channel);
            const bench::Samples arrived = probe.arrivedIn(camera.channel);

            report.section(std::string(camera.name) + " (CH" + std::to_string(camera.channel + 1) + ", " +
                           std::to_string(a.width) + "x" + std::to_string(a.height) + "), " +
                           std::to_string(wallSeconds).substr(0, 4) + " s");
            report.figure("pictures decoded a second", double(pictures) / wallSeconds, "");
            report.figure("decode CPU per picture (inside libavcodec)", oursMs, "ms");
            report.figure("decode thread CPU per picture (all)",
                          pictures ? double(a.threadCpuUs - b.threadCpuUs) / 1000.0 / double(pictures) : 0, "ms");
            report.reference("libavcodec alone on the same " + std::to_string(alone.pictures) + " pictures", aloneMs,
                             "ms");
            report.figure("frames dropped at the decoder's queue", double(a.framesDropped - b.framesDropped), "");
            report.figure("frame time to painted: median", shown.median(), "ms");
            report.figure("frame time to painted: p95", shown.percentile(95), "ms");
            report.reference("frame time to the stream callback (network alone): median", arrived.median(), "ms");
            report.reference("frame time to the stream callback (network alone): p95", arrived.percentile(95), "ms");
            const bool decodeOk = aloneMs > 0 && oursMs <= aloneMs * kDecodeRatioTarget;
            const bool latencyOk =
                !shown.empty() && shown.percentile(95) <= arrived.percentile(95) + kPaintAfterArrivalTargetMs;
            report.target(std::string(camera.name) + ": decode within 1.3x of libavcodec alone", decodeOk);
            report.target(std::string(camera.name) + ": painted within 100 ms of arrival (p95)", latencyOk);
        }
        // One synthetic channel beside them, for scale.
        const MIVU_Statistics& b = before[5];
        const MIVU_Statistics& a = after[5];
        const std::uint64_t pictures = a.picturesDecoded - b.picturesDecoded;
        report.section("a synthetic channel beside them (CH06, 704x576 H.264)");
        report.figure("decode CPU per picture (inside libavcodec)",
                      pictures ? double(a.decodeCpuUs - b.decodeCpuUs) / 1000.0 / double(pictures) : 0, "ms");
        report.figure("frame time to painted: p95", probe.shownIn(5).percentile(95), "ms");
        return report.finish();
    });
}
