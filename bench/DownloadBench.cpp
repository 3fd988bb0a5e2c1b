// SPDX-License-Identifier: GPL-3.0-or-later
// Clip downloads through the network library against a recorder with a day
// of generated history: a long clip (yesterday's longest recording of the
// first channels, tens of MB) from DOWNLOADVIDEO to the finished file
// (STATE 3), and two downloads at once: each one's rate and how evenly they
// share, with a live stream of the same device running meanwhile (its
// latency shows whether the downloads hold up the library's I/O thread).
// References in the same run: a plain loopback TCP copy of the same bytes
// (a sender thread writing them to a socket, a receiver reading 64 KiB at a
// time and writing them to a file in the same folder); the live stream's
// latency with nothing else going on.
#include "bench/BenchOptions.h"
#include "bench/BenchRecorder.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/LibraryCommands.h"
#include "bench/Samples.h"

#include "DeviceTime.h"
#include "HistoryRecordings.h"

#include "TOVR.h"

#include "proto/JsonText.h"
#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <json/value.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using velk::recorder::RecordSpan;

constexpr int kChannels = 2;

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string line;
    std::getline(in, line);
    return line;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double mbPerSecond(std::uint64_t bytes, double s)
{
    return s > 0 ? double(bytes) / s / 1e6 : 0;
}

std::optional<RecordSpan> longestYesterday(std::int64_t historyStartMs)
{
    const auto yesterday = velk::recorder::addDays(velk::recorder::toLocal(historyStartMs).date, -1);
    std::optional<RecordSpan> best;
    for (std::uint32_t channel = 0; channel < kChannels; ++channel)
        for (const RecordSpan& span : velk::recorder::historyDaySpans(channel, yesterday))
            if (!best || span.endMs - span.startMs > best->endMs - best->startMs)
                best = span;
    return best;
}

Json::Value progress(std::uint32_t handle)
{
    char response[1000] = {};
    const std::string text = R"({"KEY":"GETPROGRESS","PARAM":{"HCOM":)" + std::to_string(handle) + "}}";
    if (TOVR_JsonCommand(text.c_str(), nullptr, response, sizeof response, nullptr) != 0)
        return {};
    Json::Value root;
    velk::proto::parseJsonObject(response, root);
    return root["RESPONSE"];
}

// A live stream's latency: the wall clock at arrival in the stream
// callback minus the frame's time item (the recorder's clock when it sent
// the frame; both on this machine).
class LiveLatency {
public:
    static std::int32_t callback(std::uint32_t type, void* user, const std::uint8_t* data, std::uint32_t length,
                                 std::uint32_t)
    {
        if (type != TOVR_STREAM_DATA || !data)
            return 0;
        const auto frame = media::parseFrame(std::span<const std::uint8_t>(data, length));
        if (!frame || !frame->time)
            return 0;
        const double sentMs = double(frame->time->seconds) * 1000 + frame->time->milliseconds;
        auto* self = static_cast<LiveLatency*>(user);
        std::lock_guard lock(self->m_samplesLock);
        self->m_samples.add(double(bench::wallClockMs()) - sentMs);
        return 0;
    }
    bench::Samples take()
    {
        std::lock_guard lock(m_samplesLock);
        bench::Samples taken = m_samples;
        m_samples.clear();
        return taken;
    }

private:
    std::mutex m_samplesLock;  // guards m_samples (callback thread and main thread)
    bench::Samples m_samples;
};

struct Clip {
    std::string file;
    std::string start;
    std::string end;
};

// Starts downloads of the clip into these files at once and waits for
// each: its seconds from the start to STATE 3 (negative when it failed).
// GETPROGRESS is asked every pollUs microseconds: the end is seen that
// much late at most (a long clip downloads in some tens of milliseconds).
std::vector<double> download(std::uint32_t device, const Clip& clip, const std::vector<std::string>& saves,
                             std::uint64_t* bytes, long long pollUs, double* answeredS = nullptr)
{
    const auto started = Clock::now();
    std::vector<std::uint32_t> handles;
    for (const std::string& save : saves) {
        Json::Value root;
        root["KEY"] = "DOWNLOADVIDEO";
        root["PARAM"]["HDEV"] = device;
        root["PARAM"]["DEVFILENAME"] = clip.file;
        root["PARAM"]["SAVEFILENAME"] = save;
        root["PARAM"]["STARTTIME"] = clip.start;
        root["PARAM"]["ENDTIME"] = clip.end;
        std::uint32_t handle = 0;
        bench::libraryCommand(root, &handle);
        handles.push_back(handle);
    }
    if (answeredS)
        *answeredS = seconds(Clock::now() - started);
    std::vector<double> taken(saves.size(), 0);
    std::size_t open = saves.size();
    const auto deadline = started + std::chrono::minutes(5);
    while (open > 0 && Clock::now() < deadline) {
        for (std::size_t i = 0; i < handles.size(); ++i) {
            if (taken[i] != 0)
                continue;
            const Json::Value p = progress(handles[i]);
            const std::uint32_t state = p.isNull() ? 2 : p["STATE"].asUInt();
            if (state == 3 || state == 2) {
                taken[i] = state == 3 ? seconds(Clock::now() - started) : -1;
                *bytes = p["TOTALSIZE"].asUInt64();
                --open;
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pollUs));
    }
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (taken[i] == 0)
            taken[i] = -1;
        bench::libraryHandleCommand("STOPCOMMAND", "HCOM", handles[i]);
    }
    return taken;
}

// The reference: the same bytes over a loopback socket into a file, by two
// plain threads. Seconds from the connect to the file closed.
double rawCopy(const std::string& bytes, const std::string& path)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener >= 0)
            ::close(listener);
        return -1;
    }
    const auto started = Clock::now();
    std::thread sender([&] {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            std::size_t sent = 0;
            while (sent < bytes.size()) {
                const ssize_t n = ::send(fd, bytes.data() + sent, std::min<std::size_t>(bytes.size() - sent, 256 * 1024),
                                         MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<std::size_t>(n);
            }
        }
        ::close(fd);
    });
    bool ok = false;
    const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (connection >= 0 && out >= 0) {
        std::vector<char> buffer(64 * 1024);
        std::size_t received = 0;
        for (;;) {
            const ssize_t n = ::recv(connection, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n)
                break;
            received += static_cast<std::size_t>(n);
        }
        ok = received == bytes.size();
    }
    if (out >= 0)
        ::close(out);
    const double taken = seconds(Clock::now() - started);
    if (connection >= 0)
        ::close(connection);
    ::close(listener);
    sender.join();
    return ok ? taken : -1;
}

std::string readData(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    return all.size() > recordfile::kDataOffset ? all.substr(recordfile::kDataOffset) : std::string();
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"rounds", {3, "downloads and copies measured (medians are reported)"}},
                                 {"minutes", {0, "minutes of the clip (0: the whole longest recording)"}},
                                 {"poll-us", {250, "microseconds between two GETPROGRESS while waiting for the end"}}});
    if (!options.parse(argc, argv))
        return 2;
    if (options.helpShown())
        return 0;
    QCoreApplication app(argc, argv);
    bench::BenchReport report("bench-download");
    const long long rounds = std::max<long long>(options.get("rounds"), 1);
    const long long pollUs = std::max<long long>(options.get("poll-us"), 1);

    bench::BenchRecorder recorder;
    if (!recorder.start({QStringLiteral("--channels"), QString::number(kChannels), QStringLiteral("--history-days"),
                         QStringLiteral("1"), QStringLiteral("--encode-ahead")}) ||
        !recorder.waitForLoops(2 * kChannels, 120000)) {  // main and sub loops, so no encoder runs meanwhile
        std::fprintf(stderr, "bench-download: the recorder did not start or encode its loops\n");
        return 1;
    }
    const std::int64_t historyStartMs =
        static_cast<std::int64_t>(recorder.status().value(QStringLiteral("historyStartMs")).toInteger());
    const auto span = longestYesterday(historyStartMs);
    if (!span) {
        std::fprintf(stderr, "bench-download: no recording yesterday\n");
        return 1;
    }
    std::int64_t endMs = span->endMs - 1000;
    if (options.get("minutes") > 0)
        endMs = std::min<std::int64_t>(endMs, span->startMs + options.get("minutes") * 60000);
    const Clip clip{span->fileName, velk::recorder::formatCompact(velk::recorder::toLocal(span->startMs)),
                    velk::recorder::formatCompact(velk::recorder::toLocal(endMs))};

    const std::uint32_t device = bench::libraryLogin(recorder);
    if (device == 0) {
        std::fprintf(stderr, "bench-download: login failed\n");
        return 1;
    }
    QTemporaryDir folder;
    const std::string one = folder.filePath(QStringLiteral("one.264")).toStdString();

    // One download, then the raw copy of what it brought, in turns.
    bench::Samples libraryRates, rawRates, answers;
    std::uint64_t bytes = 0;
    std::uint64_t ourCpuUs = 0, recorderCpuUs = 0;
    double downloadS = 0;
    std::string data;
    for (long long round = 0; round < rounds; ++round) {
        double answered = 0;
        const std::uint64_t ourBefore = bench::processCpuUs();
        const std::uint64_t recorderBefore = recorder.cpuUs();
        const double taken = download(device, clip, {one}, &bytes, pollUs, &answered).front();
        ourCpuUs += bench::processCpuUs() - ourBefore;
        recorderCpuUs += recorder.cpuUs() - recorderBefore;
        if (taken > 0) {
            libraryRates.add(mbPerSecond(bytes, taken));
            answers.add(answered * 1000);
            downloadS += taken;
        }
        if (data.empty())
            data = readData(one);
        ::unlink(one.c_str());
        const std::string copy = folder.filePath(QStringLiteral("copy.264")).toStdString();
        const double copied = data.empty() ? -1 : rawCopy(data, copy);
        if (copied > 0)
            rawRates.add(mbPerSecond(data.size(), copied));
        ::unlink(copy.c_str());
    }
    report.note("clip: " + clip.file + " " + clip.start + "-" + clip.end + ", " +
                std::to_string(double(bytes) / 1e6).substr(0, 6) + " MB, " + std::to_string(rounds) + " rounds, progress asked every " +
                std::to_string(pollUs) + " us");
    report.section("one download");
    const double libraryRate = libraryRates.empty() ? 0 : libraryRates.median();
    const double rawRate = rawRates.empty() ? 0 : rawRates.median();
    report.figure("DOWNLOADVIDEO to STATE 3 (median)", libraryRate, "MB/s");
    report.reference("loopback TCP copy into a file, 64 KiB reads (median)", rawRate, "MB/s");
    report.figure("download / copy", rawRate > 0 ? 100.0 * libraryRate / rawRate : 0, "%");
    report.figure("DOWNLOADVIDEO's answer (the recorder counts the clip first; median)",
                  answers.empty() ? 0 : answers.median(), "ms");
    report.figure("this process's CPU while downloading (library, polling)",
                  downloadS > 0 ? 100.0 * double(ourCpuUs) / 1e6 / downloadS : 0, "% of a core");
    report.figure("the recorder's CPU while downloading",
                  downloadS > 0 ? 100.0 * double(recorderCpuUs) / 1e6 / downloadS : 0, "% of a core");

    // A live stream of channel 0 runs from here on: its latency while the
    // pairs download, beside the same stream with nothing else going on.
    LiveLatency live;
    Json::Value realPlay;
    realPlay["KEY"] = "REALPLAY";
    realPlay["PARAM"]["HDEV"] = device;
    realPlay["PARAM"]["CHANNEL"] = 0;
    realPlay["PARAM"]["STREAMTYPE"] = 0;
    realPlay["PARAM"]["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&LiveLatency::callback));
    realPlay["PARAM"]["USERDATA"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&live));
    realPlay["PARAM"]["HWND"] = 0;
    std::uint32_t play = 0;
    bench::libraryCommand(realPlay, &play);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const bench::Samples idleLatency = live.take();

    report.section("two downloads at once");
    bench::Samples pairRates, fairness;
    const std::string two = folder.filePath(QStringLiteral("two.264")).toStdString();
    for (long long round = 0; round < rounds; ++round) {
        const auto taken = download(device, clip, {one, two}, &bytes, pollUs);
        if (taken[0] > 0 && taken[1] > 0) {
            const double a = mbPerSecond(bytes, taken[0]);
            const double b = mbPerSecond(bytes, taken[1]);
            pairRates.add(a);
            pairRates.add(b);
            fairness.add(std::min(a, b) / std::max(a, b));
        }
        ::unlink(one.c_str());
        ::unlink(two.c_str());
    }
    const bench::Samples busyLatency = live.take();
    bench::libraryHandleCommand("REALPLAYSTOP", "HPLAY", play);
    const double eachRate = pairRates.empty() ? 0 : pairRates.median();
    report.figure("each download's rate (median of both)", eachRate, "MB/s");
    report.figure("both together", 2 * eachRate, "MB/s");
    report.figure("slower / faster of the pair (median)", fairness.empty() ? 0 : fairness.median(), "");
    report.section("a live stream of the same device meanwhile (arrival minus the frame's send time)");
    if (!idleLatency.empty() && !busyLatency.empty()) {
        report.figure("latency while two downloads run, p95", busyLatency.percentile(95), "ms");
        report.figure("latency while two downloads run, max", busyLatency.max(), "ms");
        report.reference("latency with nothing else going on, p95", idleLatency.percentile(95), "ms");
        report.reference("latency with nothing else going on, max", idleLatency.max(), "ms");
        report.note("frames: " + std::to_string(busyLatency.count()) + " while downloading, " +
                    std::to_string(idleLatency.count()) + " idle");
    } else {
        report.note("the live stream brought no frames");
    }
    report.note("load after: " + loadAverage());
    bench::libraryHandleCommand("LOGOUT", "HDEV", device);
    TOVR_JsonCommand(R"({"KEY":"UNINIT"})", nullptr, nullptr, 0, nullptr);

    report.target("one download at least 80 % of the loopback copy's rate",
                  rawRate > 0 && libraryRate >= 0.8 * rawRate);
    report.target("two at once share evenly (slower at least 80 % of the faster)",
                  !fairness.empty() && fairness.median() >= 0.8);
    return report.finish();
}
