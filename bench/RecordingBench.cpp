// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder recording all 16 channels by a schedule that records always:
// its CPU, the rate at which it writes to disk, frames written and dropped.
// Reference in the same run: the same recorder serving the same 16 main
// streams live to a client of the network library (reading the same loops,
// writing the same bytes to sockets instead of files), and the streams' own
// rate of bytes.
#include "bench/BenchOptions.h"
#include "bench/BenchRecorder.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/LibraryCommands.h"

#include "TOVR.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QThread>

#include <json/value.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 16;
// Every day, all day, normal recording.
const QByteArray kAlwaysSchedule = R"([[{"E":86399,"S":0,"T":0}],[{"E":86399,"S":0,"T":0}],)"
                                   R"([{"E":86399,"S":0,"T":0}],[{"E":86399,"S":0,"T":0}],)"
                                   R"([{"E":86399,"S":0,"T":0}],[{"E":86399,"S":0,"T":0}],)"
                                   R"([{"E":86399,"S":0,"T":0}]])";

std::atomic<std::uint64_t> g_liveBytes{0};

std::int32_t countingCallback(std::uint32_t type, void*, const std::uint8_t*, std::uint32_t length, std::uint32_t)
{
    if (type == TOVR_STREAM_DATA)
        g_liveBytes.fetch_add(length);
    return 0;
}

struct Totals {
    double bytes = 0;
    double frames = 0;
    double dropped = 0;
    double errors = 0;
};

Totals recordingTotals(const bench::BenchRecorder& recorder)
{
    const QJsonObject recording = recorder.status().value(QStringLiteral("recording")).toObject();
    return {recording.value(QStringLiteral("bytesWritten")).toDouble(),
            recording.value(QStringLiteral("framesWritten")).toDouble(),
            recording.value(QStringLiteral("framesDropped")).toDouble(),
            recording.value(QStringLiteral("writeErrors")).toDouble()};
}

double sleepSeconds(long long seconds)
{
    const std::uint64_t start = bench::monotonicUs();
    QThread::sleep(static_cast<unsigned long>(seconds));
    return double(bench::monotonicUs() - start) / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {30, "seconds measured in each phase"}}});
    if (!options.parse(argc, argv))
        return 2;
    if (options.helpShown())
        return 0;
    QCoreApplication app(argc, argv);
    bench::BenchReport report("bench-recorder-recording");
    const long long seconds = std::max<long long>(options.get("seconds"), 1);

    bench::BenchRecorder recorder;
    if (!recorder.start({QStringLiteral("--encode-ahead")}) || !recorder.waitForLoops(2 * kChannels, 120000)) {
        std::fprintf(stderr, "bench-recorder-recording: the recorder did not start or encode its loops\n");
        return 1;
    }

    // Reference: the same 16 main streams served live.
    const std::uint32_t device = bench::libraryLogin(recorder);
    if (device == 0) {
        std::fprintf(stderr, "bench-recorder-recording: login failed\n");
        return 1;
    }
    std::vector<std::uint32_t> streams;
    for (int channel = 0; channel < kChannels; ++channel) {
        Json::Value play;
        play["KEY"] = "REALPLAY";
        play["PARAM"]["HDEV"] = device;
        play["PARAM"]["CHANNEL"] = channel;
        play["PARAM"]["STREAMTYPE"] = 0;
        play["PARAM"]["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&countingCallback));
        play["PARAM"]["USERDATA"] = 0;
        play["PARAM"]["HWND"] = 0;
        std::uint32_t handle = 0;
        if (bench::libraryCommand(play, &handle) == 0 && handle != 0)
            streams.push_back(handle);
    }
    QThread::sleep(2);  // past the first key frames
    std::uint64_t cpuBefore = recorder.cpuUs();
    std::uint64_t bytesBefore = g_liveBytes.load();
    double wall = sleepSeconds(seconds);
    const double liveCpu = double(recorder.cpuUs() - cpuBefore) / 1e6 / wall * 100;
    const double liveRate = double(g_liveBytes.load() - bytesBefore) / wall;
    for (const std::uint32_t handle : streams)
        bench::libraryHandleCommand("REALPLAYSTOP", "HPLAY", handle);
    bench::libraryHandleCommand("LOGOUT", "HDEV", device);

    // Idle, for the recorder's own baseline.
    QThread::sleep(1);
    cpuBefore = recorder.cpuUs();
    wall = sleepSeconds(std::min<long long>(seconds, 5));
    const double idleCpu = double(recorder.cpuUs() - cpuBefore) / 1e6 / wall * 100;

    // Recording all 16 channels.
    for (int channel = 0; channel < kChannels; ++channel) {
        const QJsonObject answer =
            recorder.request("PUT", "/api/schedule?channel=" + QByteArray::number(channel), kAlwaysSchedule);
        if (!answer.value(QStringLiteral("ok")).toBool()) {
            std::fprintf(stderr, "bench-recorder-recording: the schedule of channel %d was refused\n", channel);
            return 1;
        }
    }
    QThread::sleep(3);  // every channel past its first key frame and first segment
    const Totals before = recordingTotals(recorder);
    cpuBefore = recorder.cpuUs();
    wall = sleepSeconds(seconds);
    const Totals after = recordingTotals(recorder);
    const double recordingCpu = double(recorder.cpuUs() - cpuBefore) / 1e6 / wall * 100;
    const double writeRate = (after.bytes - before.bytes) / wall;
    const double frameRate = (after.frames - before.frames) / wall;

    report.section("Recording 16 channels' main streams, " + std::to_string(seconds) + " s");
    report.figure("the recorder's CPU while recording", recordingCpu, "% core");
    report.figure("written to disk", writeRate / 1024, "KiB/s");
    report.figure("frames written", frameRate, "frames/s");
    report.figure("frames dropped by the writer", after.dropped - before.dropped, "frames");
    report.figure("write errors", after.errors - before.errors, "");
    report.reference("the recorder serving the same 16 streams live", liveCpu, "% core");
    report.reference("the 16 live streams' bytes", liveRate / 1024, "KiB/s");
    report.reference("the recorder idle", idleCpu, "% core");
    report.note("frames expected: 16 x 25 = 400 a second; recordings are video only, the live streams carry sound too");
    report.target("every frame written (none dropped, no error)",
                  after.dropped == before.dropped && after.errors == before.errors && frameRate > 0.95 * 400);
    report.target("recording costs at most what serving the same streams live costs", recordingCpu <= liveCpu * 1.5 + 1);
    return report.finish();
}
