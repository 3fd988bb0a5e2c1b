// SPDX-License-Identifier: GPL-3.0-or-later
// Remote playback through the control's playback page, as a user drives it:
// the day's recordings loaded into the timeline, Play pressed (a click on
// the bar's Play button) to the first picture in every window, and a click
// on the timeline to the first picture of the clicked time, for 1, 4 and 16
// channels; then 16 channels at normal speed for a while: pictures shown
// per window, how far apart the windows' pictures are in frame time, CPU.
// References in the same run: the time the session's REMOTEPLAY and
// REMOTEPLAYSEEK took to be answered (the recorder's side, without the
// decoding and drawing that follow).
#include "bench/BenchOptions.h"
#include "bench/BenchRecorder.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/HistorySpans.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "MIVUStream.h"
#include "control/CVELK_DVRCtrl.h"
#include "platform/DateTime.h"
#include "playback/CPlayBackCtrlPanel.h"
#include "playback/CPlayBackPanel.h"
#include "playback/PlaybackBarIds.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kDayMs = 86400000;
constexpr int kMaxChannels = 16;
// A picture counts as "of the clicked time" from the key frame before it.
constexpr std::int64_t kKeyFrameMs = 1000;

using bench::PreviewRig;

ulong g_eventTime = 1000;

void click(QWidget& widget, QPoint at)
{
    QWindow* window = widget.window()->windowHandle();
    const QPoint global = widget.mapToGlobal(at);
    const QPointF local = window->mapFromGlobal(QPointF(global));
    QCursor::setPos(global);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::SynchronousDelivery>(
        window, ++g_eventTime, local, QPointF(global), Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
    g_eventTime += 300;  // never a double click
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::SynchronousDelivery>(
        window, ++g_eventTime, local, QPointF(global), Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
    g_eventTime += 300;
}

class Page {
public:
    explicit Page(PreviewRig& rig) : m_rig(rig), m_page(rig.control().playbackPanel()), m_bar(m_page.bar()) {}

    CPlayBackCtrlPanel& bar() { return m_bar; }
    playback::PlaybackSession& session() { return m_bar.session(); }

    // The day's recordings of the first `count` channels into the timeline.
    void loadDay(std::int64_t dayMs, int count, const std::vector<std::vector<bench::HistorySpan>>& spans)
    {
        CVELK_DVRCtrl& control = m_rig.control();
        const std::uint32_t id = m_rig.deviceId();
        control.SetPlayBackChannels(count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1);
        control.SetPlaybackDate(id, QString::fromStdString(bench::localDayText(dayMs)));
        for (int c = 0; c < count; ++c)
            for (const bench::HistorySpan& s : spans[static_cast<std::size_t>(c)])
                control.SetRecordPeriod(id, QString::fromStdString(s.startText), QString::fromStdString(s.endText),
                                        static_cast<std::uint32_t>(c), s.alarm ? 1 : 0, 0);
        control.CompleteSetRecordPeriod(id);
        PreviewRig::pump(50);
    }

    // The frame time slot i shows (0: none yet).
    std::uint64_t shownMs(int slot)
    {
        MIVU_Statistics s{};
        const std::uint32_t decoder = session().sessionDecoder();
        if (decoder == 0 || MIVU_GetStatistics(decoder, slot, &s) != 0)
            return 0;
        return s.shownFrameTimeMs;
    }
    bool allShowFrom(const std::vector<int>& windowsToShow, std::int64_t fromMs)
    {
        for (const int slot : windowsToShow) {
            const std::uint64_t shown = shownMs(slot);
            if (shown == 0 || std::int64_t(shown) < fromMs)
                return false;
        }
        return true;
    }
    MIVU_Statistics statistics(int slot)
    {
        MIVU_Statistics s{};
        if (const std::uint32_t decoder = session().sessionDecoder(); decoder != 0)
            MIVU_GetStatistics(decoder, slot, &s);
        return s;
    }

    // The Play button's middle, pressed with the mouse.
    void pressPlay()
    {
        for (QObject* child : m_bar.children()) {
            auto* widget = qobject_cast<QWidget*>(child);
            auto* button = dynamic_cast<platform::CWnd*>(child);
            if (widget && button && button->controlId() == playback_ids::kPlay) {
                click(*widget, widget->rect().center());
                return;
            }
        }
        std::fprintf(stderr, "bench-playback-panel: no Play button\n");
    }

    // A click on the timeline's channel rows at a time of the view; the time
    // the timeline reported.
    platform::DateTime clickTimeline(double fractionOfRuler)
    {
        CControlPlayer& timeline = m_bar.timeline();
        const int margin = 34;
        const int x = margin + int((timeline.width() - 2 * margin) * fractionOfRuler);
        click(timeline, QPoint(x, timeline.height() - 10));
        return m_bar.lastSeek().value_or(platform::DateTime());
    }

private:
    PreviewRig& m_rig;
    CPlayBackPanel& m_page;
    CPlayBackCtrlPanel& m_bar;
};

std::int64_t msOf(const platform::DateTime& time)
{
    const platform::SystemTime t = time.toSystemTime();
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    return std::int64_t(std::mktime(&local)) * 1000;
}

platform::DateTime timeOf(std::int64_t ms)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return platform::DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                         local.tm_min, local.tm_sec);
}

struct Steady {
    double cpu = 0;
    double shownPerWindow = 0;  // of the windows that showed pictures
    int showing = 0;
    double driftP95 = -1;
    double driftMax = -1;
    std::uint64_t dropped = 0;
};

Steady measureSteady(Page& page, int count, long long seconds)
{
    // Per window: pictures shown, frames dropped.
    const auto totals = [&](std::vector<std::uint64_t>& shown, std::uint64_t& dropped) {
        shown.assign(static_cast<std::size_t>(count), 0);
        dropped = 0;
        for (int i = 0; i < count; ++i) {
            const MIVU_Statistics s = page.statistics(i);
            shown[static_cast<std::size_t>(i)] = s.picturesPresented;
            dropped += s.framesDropped;
        }
    };
    PreviewRig::pump(1500);  // settled
    std::vector<std::uint64_t> shown0;
    std::uint64_t dropped0 = 0;
    totals(shown0, dropped0);
    const std::uint64_t cpu0 = bench::processCpuUs();
    const std::uint64_t wall0 = bench::monotonicUs();
    bench::Samples drift;
    while (bench::monotonicUs() - wall0 < std::uint64_t(seconds) * 1000000) {
        PreviewRig::pump(100);
        std::uint64_t low = UINT64_MAX, high = 0;
        for (int i = 0; i < count; ++i) {
            if (const std::uint64_t t = page.shownMs(i); t != 0) {
                low = std::min(low, t);
                high = std::max(high, t);
            }
        }
        if (low != UINT64_MAX)
            drift.add(double(high - low));
    }
    const double wall = double(bench::monotonicUs() - wall0) / 1e6;
    std::vector<std::uint64_t> shown1;
    std::uint64_t dropped1 = 0;
    totals(shown1, dropped1);
    Steady steady;
    steady.cpu = double(bench::processCpuUs() - cpu0) / 1e6 / wall * 100;
    // Windows whose channel has no recording at the time show nothing and
    // are left out of the rate.
    std::uint64_t shown = 0;
    int showing = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint64_t more = shown1[static_cast<std::size_t>(i)] - shown0[static_cast<std::size_t>(i)];
        if (more != 0) {
            shown += more;
            ++showing;
        }
    }
    steady.showing = showing;
    steady.shownPerWindow = showing ? double(shown) / wall / showing : 0;
    if (drift.count()) {
        steady.driftP95 = drift.percentile(95);
        steady.driftMax = drift.max();
    }
    steady.dropped = dropped1 - dropped0;
    return steady;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"seconds", {60, "seconds of the steady playback of 16 channels"}},
                                 {"rounds", {5, "Plays and timeline clicks measured for each channel count"}}});
    return PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-playback-panel");
        const long long seconds = std::max<long long>(options.get("seconds"), 1);
        const long long rounds = std::max<long long>(options.get("rounds"), 1);
        PreviewRig rig;
        if (!rig.start({QStringLiteral("--history-days"), QStringLiteral("1")}) ||
            !rig.recorder().waitForLoops(kMaxChannels, 120000)) {
            std::fprintf(stderr, "bench-playback-panel: the recorder did not start or encode its loops\n");
            return 1;
        }
        rig.control().SwitchPage(3);
        Page page(rig);
        const std::int64_t yesterdayMs = std::int64_t(std::time(nullptr)) * 1000 - kDayMs;
        const auto spans = bench::historySpans(rig.recorder(), yesterdayMs, kMaxChannels);

        for (const int count : {1, 4, 16}) {
            report.section(std::to_string(count) + (count == 1 ? " channel" : " channels") + ", " +
                           std::to_string(rounds) + " rounds");
            page.loadDay(yesterdayMs, count, spans);
            const auto [startMs, covered] = bench::commonInstant(spans, count);
            report.note(std::to_string(covered) + " of the " + std::to_string(count) +
                        " channels have a recording at the start time");
            bench::Samples play, seek, playAnswer, seekAnswer;
            int lost = 0;
            for (long long round = 0; round < rounds; ++round) {
                const std::int64_t from = startMs + round * 1000;
                page.bar().timeline().MoveCursorTo(timeOf(from));
                // Play: the button, to the first picture in every window
                // whose channel has a recording then.
                const std::uint64_t pressUs = bench::monotonicUs();
                page.pressPlay();
                const double answered = double(bench::monotonicUs() - pressUs) / 1000.0;
                const std::vector<int> windowsToShow = bench::coveredChannels(spans, count, from);
                QElapsedTimer clock;
                clock.start();
                const bool shown = PreviewRig::waitFor([&] { return page.allShowFrom(windowsToShow, from - kKeyFrameMs); }, 5000);
                if (!shown || page.session().playHandle() == 0) {
                    ++lost;
                    page.session().stopPlay();
                    continue;
                }
                play.add(double(bench::monotonicUs() - pressUs) / 1000.0);
                playAnswer.add(answered);

                // The timeline zoomed to five minutes around the cursor; a
                // click three quarters across: a minute or so later.
                for (int level = 0; level < 7; ++level)
                    page.bar().timeline().ZoomIn();
                PreviewRig::pump(20);
                const std::uint64_t clickUs = bench::monotonicUs();
                const platform::DateTime clicked = page.clickTimeline(0.75);
                const double seekAnswered = double(bench::monotonicUs() - clickUs) / 1000.0;
                const std::int64_t targetMs = msOf(clicked);
                const std::vector<int> seekWindows = bench::coveredChannels(spans, count, targetMs);
                const bool moved = clicked.isValid() && PreviewRig::waitFor([&] {
                    return page.allShowFrom(seekWindows, targetMs - kKeyFrameMs);
                }, 5000);
                if (moved) {
                    seek.add(double(bench::monotonicUs() - clickUs) / 1000.0);
                    seekAnswer.add(seekAnswered);
                } else {
                    ++lost;
                }
                page.session().stopPlay();
                while (page.bar().zoomLevel() < 7)
                    page.bar().zoomOut();
                for (int level = 0; level < 7; ++level)
                    page.bar().timeline().ZoomOut();
                PreviewRig::pump(50);
            }
            const std::string n = std::to_string(count);
            if (play.count()) {
                report.figure("Play to the first picture: median", play.median(), "ms");
                report.figure("Play to the first picture: max", play.max(), "ms");
                report.reference("of which REMOTEPLAY answered (median)", playAnswer.median(), "ms");
            }
            if (seek.count()) {
                report.figure("timeline click to the clicked time's picture: median", seek.median(), "ms");
                report.figure("timeline click to the clicked time's picture: max", seek.max(), "ms");
                report.reference("of which REMOTEPLAYSEEK answered (median)", seekAnswer.median(), "ms");
            }
            report.figure("rounds without a picture in time", lost, "");
            report.target("Play to the first picture within 150 ms (" + n + ", median)",
                          play.count() && play.median() <= 150);
            report.target("a timeline click to its picture within 150 ms (" + n + ", median)",
                          seek.count() && seek.median() <= 150);
        }

        report.section("16 channels at 1x, " + std::to_string(seconds) + " s");
        page.loadDay(yesterdayMs, kMaxChannels, spans);
        const auto [startMs, covered] = bench::commonInstant(spans, kMaxChannels);
        page.bar().timeline().MoveCursorTo(timeOf(startMs));
        page.pressPlay();
        if (!PreviewRig::waitFor([&] { return page.allShowFrom(bench::coveredChannels(spans, kMaxChannels, startMs), 1); },
                                 5000)) {
            report.note("the 16 windows did not show pictures");
        } else {
            const Steady steady = measureSteady(page, kMaxChannels, seconds);
            report.figure("this process's CPU", steady.cpu, "% core");
            report.figure("pictures shown per window showing pictures", steady.shownPerWindow, "/s");
            report.figure("windows showing pictures", steady.showing, "");
            report.figure("windows apart in frame time: p95", steady.driftP95, "ms");
            report.figure("windows apart in frame time: max", steady.driftMax, "ms");
            report.figure("frames dropped", double(steady.dropped), "");
            report.note(std::to_string(covered) + " of the 16 channels have a recording at the start time");
            report.target("every window with a recording shows its 25 pictures a second (at least 24)",
                          steady.shownPerWindow >= 24);
            report.target("windows within one frame of each other (p95 at most 40 ms)",
                          steady.driftP95 >= 0 && steady.driftP95 <= 40);
        }
        page.session().stopPlay();
        return report.finish();
    });
}
