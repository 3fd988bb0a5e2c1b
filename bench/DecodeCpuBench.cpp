// SPDX-License-Identifier: GPL-3.0-or-later
// bench-decode-cpu: CPU time our decode-render library spends decoding one
// main stream, beside libavcodec alone decoding the very same packets with
// the same options (the "h264" decoder, one thread, low delay), like
// `ffmpeg -threads 1 -f null`.
//
// The stream is the recorder's own (its encoder, in this process). Ours is
// fed through the library's inner interface: first in bursts, so that its
// decode thread decodes back to back as libavcodec alone does (the compared
// figure: its CPU time inside libavcodec), then one frame at a time into a
// real render target window, as live, with the conversion to RGB, the
// hand-off and the UI thread's painting printed beside it. A second
// reference converts each picture to RGB between decodes, as the library
// does, to show what that costs libavcodec's caches. Target: decode within
// 1.15x of libavcodec alone.
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/DecodeAlone.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"
#include "bench/StreamMaker.h"

#include "MIVUStream.h"
#include "mivu/PictureConverter.h"
#include "platform/RenderTarget.h"
#include "proto/MediaFrame.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <cstring>
#include <string>
#include <thread>

using bench::ContainerFrame;
using bench::PreviewRig;

namespace {

constexpr double kTargetRatio = 1.15;

struct Measured {
    double decodeMs = 0;  // CPU inside libavcodec
    double restMs = 0;    // CPU of the decode thread outside libavcodec
    double uiMs = 0;      // CPU of the UI thread meanwhile (painting)
    std::uint64_t pictures = 0;
    std::uint64_t dropped = 0;
    std::uint64_t errors = 0;
};

// libavcodec alone on the same packets; with convert, each picture is also
// converted to RGB as the library does (untimed), so that libavcodec works
// with the caches as they are in the library.
Measured decodeAlone(const std::vector<ContainerFrame>& frames, bool convert)
{
    mivu::PictureConverter converter;
    const bench::AloneDecode alone =
        bench::decodeAlone(frames, "h264", convert ? std::function<void(AVFrame*)>([&](AVFrame* picture) {
            converter.convert(picture);
        })
                                                   : std::function<void(AVFrame*)>());
    Measured m;
    m.decodeMs = alone.decodeMs;
    m.pictures = alone.pictures;
    m.errors = alone.errors;
    return m;
}

// Our library, fed through its inner interface. Bursts: up to 40 frames
// go in at once (the live queue holds 50) and the decode thread decodes
// them back to back, as libavcodec alone does, converting each picture to
// RGB; without a window (target 0) nothing is painted meanwhile. Lockstep:
// each frame is decoded, converted and painted in the window before the
// next goes in, so the decode thread wakes for every frame, as it does
// live, and never runs beside the painting. UI thread.
Measured decodeOurs(const std::vector<ContainerFrame>& frames, std::uint32_t target, bool lockstep)
{
    Measured m;
    std::uint32_t decoder = 0;
    if (MIVU_OpenStream(&target, 1, MIVU_MODE_LIVE, &decoder) != MIVU_OK) {
        ++m.errors;
        return m;
    }
    const std::size_t burst = lockstep ? 1 : 40;
    const std::uint64_t uiStartUs = bench::threadCpuUs();
    std::uint64_t uiWaitUs = 0;  // this thread's own polling, not painting
    MIVU_Statistics s{};
    std::uint64_t fed = 0;
    while (fed < frames.size()) {
        for (std::size_t i = 0; i < burst && fed < frames.size(); ++i, ++fed)
            MIVU_InputFrame(decoder, 0, frames[fed].data(), static_cast<std::uint32_t>(frames[fed].size()));
        const std::uint64_t waitStartUs = bench::threadCpuUs();
        for (int polls = 0; polls < 200000; ++polls) {
            MIVU_GetStatistics(decoder, 0, &s);
            if (s.framesPending == 0 && s.picturesDecoded + s.framesDropped + s.decodeErrors >= fed)
                break;
            std::this_thread::sleep_for(std::chrono::microseconds(lockstep ? 50 : 1000));
        }
        uiWaitUs += bench::threadCpuUs() - waitStartUs;
        if (lockstep)
            QCoreApplication::processEvents();  // paints the picture
    }
    m.uiMs = double(bench::threadCpuUs() - uiStartUs - uiWaitUs) / 1000.0;
    MIVU_GetStatistics(decoder, 0, &s);
    MIVU_CloseStream(decoder);
    m.decodeMs = double(s.decodeCpuUs) / 1000.0;
    m.restMs = double(s.threadCpuUs - s.decodeCpuUs) / 1000.0;
    m.pictures = s.picturesDecoded;
    m.dropped = s.framesDropped;
    m.errors = s.decodeErrors;
    return m;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"frames", {1000, "container frames decoded per round (main stream, 25 fps)"}},
                                 {"rounds", {5, "rounds of each decoder, alternating"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-decode-cpu");
        const auto frameCount = static_cast<std::size_t>(std::max<long long>(options.get("frames"), 1));
        const std::vector<ContainerFrame> frames = bench::makeRecorderStream(0, frameCount, bench::wallClockMs());
        if (frames.empty()) {
            std::fprintf(stderr, "bench-decode-cpu: the recorder's encoder is not available\n");
            return 1;
        }
        // A window of a 4-window grid's size at 960x540, for the live-like pass.
        platform::CRenderTargetWnd window;
        window.createWindow(nullptr, QRect(0, 0, 480, 270), 0, true);

        bench::Samples alone, aloneConverting, ours, rest, oursLive, restLive, ui;
        Measured last{};
        Measured lastAlone{};
        for (long long round = 0; round < std::max<long long>(options.get("rounds"), 1); ++round) {
            lastAlone = decodeAlone(frames, false);
            alone.add(lastAlone.decodeMs);
            aloneConverting.add(decodeAlone(frames, true).decodeMs);
            last = decodeOurs(frames, 0, false);
            ours.add(last.decodeMs);
            rest.add(last.restMs);
            const Measured live = decodeOurs(frames, window.handle(), true);
            oursLive.add(live.decodeMs);
            restLive.add(live.restMs);
            ui.add(live.uiMs);
        }
        const double perFrame = 1000.0 / double(frames.size());  // ms per round -> us per frame
        report.section("Decode CPU of one main stream (704x576, 25 fps), " + std::to_string(frames.size()) +
                       " frames, median of " + std::to_string(alone.count()) + " rounds");
        report.figure("our decoder, frames back to back: CPU inside libavcodec", ours.median() * perFrame, "us/frame");
        report.reference("libavcodec alone, same packets, 1 thread, low delay", alone.median() * perFrame, "us/frame");
        const double ratio = alone.median() > 0 ? ours.median() / alone.median() : 0;
        report.figure("ratio (ours / libavcodec alone)", ratio, "x");
        report.reference("libavcodec converting each picture to RGB between", aloneConverting.median() * perFrame,
                         "us/frame");
        report.figure("ratio (ours / libavcodec converting between)",
                      aloneConverting.median() > 0 ? ours.median() / aloneConverting.median() : 0, "x");
        report.figure("extra: our conversion to RGB + hand-off", rest.median() * perFrame, "us/frame");
        report.section("The same, one frame at a time into a 480x270 window (as live: the thread wakes per frame)");
        report.figure("our decoder: CPU inside libavcodec", oursLive.median() * perFrame, "us/frame");
        report.figure("our conversion to RGB + drawing + hand-off", restLive.median() * perFrame, "us/frame");
        report.figure("UI thread painting the window", ui.median() * perFrame, "us/frame");
        report.figure("one stream at 25 fps, all of the above", (oursLive.median() + restLive.median() + ui.median()) *
                                                                   perFrame * 25 / 10000.0, "% core");
        report.note("pictures: ours " + std::to_string(last.pictures) + ", libavcodec alone " +
                    std::to_string(lastAlone.pictures) + "; dropped " + std::to_string(last.dropped) + ", errors " +
                    std::to_string(last.errors + lastAlone.errors));
        report.target("decode CPU within 1.15x of libavcodec alone", ratio > 0 && ratio <= kTargetRatio);
        return report.finish();
    });
}
