// SPDX-License-Identifier: GPL-3.0-or-later
#include "SoakFixture.h"

#include "SoakOptions.h"

#include "device/CDeviceManage.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cstdio>

namespace {

bool withinTarget(const ProcessFigures& now, const ProcessFigures& target)
{
    return now.threads <= target.threads && now.fds <= target.fds;
}

}  // namespace

SoakBounds soakBounds()
{
    SoakBounds bounds;
    // Threads and descriptors come back exactly once a cycle has settled
    // (measure() waits for that); the heap figure counts only blocks in use,
    // so it moves by what caches and bounded logs still take in after the
    // warm-up; resident memory also holds the allocator's free pages, which
    // it hands back in its own time.
    bounds.threads = 0;
    bounds.fds = 0;
    bounds.heapBytes = 4 * 1024 * 1024;
    // The debug log holds its last 4096 lines (about 20 a cycle of opening
    // sixteen channels): it is full after some 200 cycles, and until then it
    // grows the heap by some 2 KiB a cycle.
    bounds.lateHeapBytes = 512 * 1024;
    bounds.rssKiB = 16 * 1024;
    // A sanitizer's quarantine keeps freed memory resident (256 MiB with
    // AddressSanitizer's defaults): resident memory is printed, not judged.
    bounds.checkRss = !underSanitizer();
    return bounds;
}

void SoakTest::SetUp()
{
    if (!RecorderProcess::available())
        GTEST_SKIP() << "no recorder simulator at " << RecorderProcess::programPath().toStdString();
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret")));
    recorderPid = findChildProcess("velk-recorder");
    ASSERT_NE(recorderPid, 0) << "the recorder's process was not found among this process's children";
    control = std::make_unique<CVELK_DVRCtrl>();
    // Counted, not kept: the soak must not grow by its own bookkeeping.
    control->setEventSink([this](const EventInfo&, const std::vector<Variant>&) { ++firedEvents; });
    control->createWindow(nullptr, QRect(0, 0, 642, 482), 0, true);
    pumpEvents();
}

void SoakTest::TearDown()
{
    control.reset();
    CDeviceManage::shutdown();
}

QString SoakTest::loginWith(const QString& password)
{
    return control->Login(QStringLiteral("127.0.0.1"), recorder.devicePort(), QStringLiteral("viewer"),
                          passwordText(password.toUtf8()));
}

std::uint32_t SoakTest::login()
{
    const QString result = loginWith(QStringLiteral("s3cret"));
    EXPECT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
    if (!result.startsWith(QStringLiteral("00000000_")))
        return 0;
    return result.mid(result.indexOf(QLatin1Char('_')) + 1).toUInt();
}

void SoakTest::pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QJsonObject SoakTest::recorderStatus()
{
    const HttpAnswer answer = recorder.http("GET", "/sim/status");
    return answer.status == 200 ? QJsonDocument::fromJson(answer.body).object() : QJsonObject();
}

bool SoakTest::recorderLoopsEncoded()
{
    const QJsonObject status = recorderStatus();
    if (status.isEmpty())
        return false;
    const QJsonArray loops = status.value(QStringLiteral("loops")).toArray();
    for (const QJsonValue& loop : loops) {
        const QJsonObject v = loop.toObject();
        if (!v.value(QStringLiteral("failed")).toBool() &&
            v.value(QStringLiteral("ready")).toInteger() < v.value(QStringLiteral("frames")).toInteger())
            return false;
    }
    return true;
}

SoakSample SoakTest::measure(const char* phase, int cycle, const SoakSample* target, int timeoutMs)
{
    SoakSample sample;
    sample.phase = phase;
    sample.cycle = cycle;
    const auto read = [&] {
        sample.viewer = readProcessFigures();
        sample.recorder = readProcessFigures(recorderPid);
        return !target || (withinTarget(sample.viewer, target->viewer) && withinTarget(sample.recorder, target->recorder));
    };
    // A figure still above the target after the timeout is taken as it is:
    // the comparison at the end judges it.
    if (!read())
        static_cast<void>(QTest::qWaitFor(read, timeoutMs));
    sample.viewerHeapBytes = liveHeapBytes();
    releaseFreeHeapPages();
    sample.viewerTrimmedRssKiB = readProcessFigures().rssKiB;
    sample.seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    return sample;
}

void SoakTest::soak(const char* title, int cycles, const std::function<bool(int cycle)>& cycle)
{
    const SoakOptions& options = soakOptions();
    const int warmup = options.warmupFor(cycles);
    const int every = options.sampleEveryFor(cycles);
    SoakLog log(std::string(title) + QString::asprintf(": %d cycles, warm-up %d, figures every %d", cycles, warmup,
                                                        every).toStdString());
    // Rows are printed as they are taken, so that a long soak shows how it goes.
    const auto add = [&log](SoakSample sample) {
        std::printf("%s", SoakLog::row(sample).c_str());
        std::fflush(stdout);
        log.add(std::move(sample));
    };
    std::printf("%s", log.header().c_str());
    m_clock.start();
    add(measure("before", 0, nullptr, 0));
    bool completed = true;
    for (int i = 1; i <= cycles; ++i) {
        if (!cycle(i)) {
            completed = false;
            break;
        }
        if (i == warmup && i < cycles) {
            // The recorder's loops are made once; its memory is judged
            // from then on.
            EXPECT_TRUE(QTest::qWaitFor([this] { return recorderLoopsEncoded(); }, 120000))
                << "the recorder did not finish encoding its stream loops";
            // What warm-up opened lazily (caches, a connection pool) stays;
            // whatever closes behind the last call is given a moment.
            add(measure("warm-up", i, log.find("before"), 2000));
        } else if (i == cycles) {
            add(measure("after", i, log.find("warm-up"), 10000));
        } else if (i % every == 0) {
            add(measure("cycle", i, log.find("warm-up"), 10000));
        }
    }
    std::printf("%s", log.summary().c_str());
    std::fflush(stdout);
    if (!completed)
        return;
    if (!log.find("warm-up")) {
        std::printf("too few cycles to compare with a warm-up: figures not judged\n");
        return;
    }
    for (const std::string& excess : log.excesses(soakBounds()))
        ADD_FAILURE() << excess;
}
