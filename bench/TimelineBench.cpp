// SPDX-License-Identifier: GPL-3.0-or-later
// bench-timeline: the playback timeline (CControlPlayer) as the control
// bar holds it (956 x 100) with 16 channel rows and 10 000 record spans:
// - repaint time (a synchronous repaint into the window's backing store)
//   at the whole day, zoomed to an hour and to five minutes, and with the
//   spans added in a shuffled order (no ascending stretches for the row
//   index to use); reference in the same run: the same timeline with no
//   spans;
// - a left-button drag of the cursor: mouse moves injected through the
//   window system's event queue, one at a time with the event loop run
//   after each (the move handled and the repaint it asks for done), and
//   all at once (queued together, then the loop run until they are
//   handled): moves handled against moves sent, and time per move.
// Targets: a repaint with 10 000 spans within 4 ms (p95); every move handled.
#include "bench/BenchOptions.h"
#include "bench/BenchReport.h"
#include "bench/CpuClock.h"
#include "bench/PreviewRig.h"
#include "bench/Samples.h"

#include "playback/CControlPlayer.h"
#include "platform/Window.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using platform::DateTime;

namespace {

constexpr int kRows = 16;
constexpr int kWidth = 956;
constexpr int kHeight = 100;
constexpr double kRepaintTargetMs = 4.0;

DateTime dayAt(int second)
{
    return DateTime::fromParts(2024, 3, 15).addSeconds(second);
}

struct SpanSpec {
    int channel;
    int start;  // second of the day
    int end;
    std::uint32_t type;
};

// A day of recordings for every channel: spans of 60..200 s with gaps, one
// in five an alarm, in time order per channel, channel after channel (as a
// search returns them).
std::vector<SpanSpec> makeSpans(int total)
{
    std::mt19937 random(2024);
    std::vector<SpanSpec> spans;
    const int perChannel = total / kRows;
    const int slot = 86400 / perChannel;
    for (int c = 0; c < kRows; ++c) {
        for (int i = 0; i < perChannel; ++i) {
            const int start = i * slot + std::uniform_int_distribution<int>(0, slot / 4)(random);
            const int length = std::uniform_int_distribution<int>(60, std::max(61, slot - slot / 4 - 1))(random);
            spans.push_back({c, start, std::min(start + length, 86399),
                             std::uniform_int_distribution<int>(0, 4)(random) == 0 ? 1u : 0u});
        }
    }
    return spans;
}

// Counts the mouse moves that reach the timeline, and its paints.
class MoveCounter : public QObject {
public:
    int moves = 0;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove)
            ++moves;
        else if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

struct Rig {
    platform::CWnd parent;
    CControlPlayer timeline;

    Rig()
    {
        parent.createWindow(nullptr, QRect(0, 0, kWidth + 4, kHeight + 4), 0, true);
        timeline.Create(&parent);
        timeline.setGeometry(2, 2, kWidth, kHeight);
        timeline.SetChannelRows(QString(), kRows);
        timeline.SetFirstRow(1);
        timeline.ClearSpans();
        timeline.SetDayRange(dayAt(0), dayAt(86399));
        timeline.MoveCursorTo(dayAt(12 * 3600));
        timeline.spansReady = true;
        bench::PreviewRig::pump(100);
    }
    ~Rig()
    {
        timeline.destroyWindow();
        parent.destroyWindow();
    }
    void add(const std::vector<SpanSpec>& spans)
    {
        for (const SpanSpec& s : spans)
            timeline.AddSpan(QString(), s.channel, dayAt(s.start), dayAt(s.end), s.type);
    }
    // Zooms to a level with the cursor at a time.
    void zoomTo(int level, int cursorSecond)
    {
        while (timeline.scale().level() > 0)
            timeline.ZoomOut();
        timeline.MoveCursorTo(dayAt(cursorSecond));
        while (timeline.scale().level() < level)
            timeline.ZoomIn();
        bench::PreviewRig::pump(700);  // the zoom label goes
    }
};

bench::Samples repaintMs(CControlPlayer& timeline, int rounds)
{
    bench::Samples samples;
    timeline.repaint();  // warm the glyph caches
    for (int i = 0; i < rounds; ++i) {
        const std::uint64_t startUs = bench::monotonicUs();
        timeline.repaint();
        samples.add(double(bench::monotonicUs() - startUs) / 1000.0);
    }
    return samples;
}

struct DragFigures {
    int sent = 0;
    int handled = 0;
    int paints = 0;
    bench::Samples perMoveMs;
    double burstUsPerMove = 0;
    int burstPaints = 0;
    int burstSent = 0;
    int burstHandled = 0;
    bool cursorFollowed = false;
};

void mouseEvent(QWindow* window, QPoint global, Qt::MouseButtons buttons, Qt::MouseButton button, QEvent::Type type,
                ulong& time)
{
    QCursor::setPos(global);
    QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        window, ++time, window->mapFromGlobal(QPointF(global)), QPointF(global), buttons, button, type);
}

int dragX(int i)
{
    return 60 + (i * 37) % (kWidth - 120);
}

DragFigures drag(Rig& rig, int moves)
{
    DragFigures f;
    MoveCounter counter;
    rig.timeline.installEventFilter(&counter);
    QWindow* window = rig.parent.windowHandle();
    const int y = 70;
    ulong time = 1000;
    auto global = [&](int x) { return rig.timeline.mapToGlobal(QPoint(x, y)); };

    // One move at a time: injected, then the loop runs until it is handled
    // and painted.
    mouseEvent(window, global(400), Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress, time);
    QCoreApplication::processEvents();
    for (int i = 0; i < moves; ++i) {
        const std::uint64_t startUs = bench::monotonicUs();
        mouseEvent(window, global(dragX(i)), Qt::LeftButton, Qt::NoButton, QEvent::MouseMove, time);
        QCoreApplication::processEvents();
        f.perMoveMs.add(double(bench::monotonicUs() - startUs) / 1000.0);
    }
    f.sent = moves;
    f.handled = counter.moves;
    f.paints = counter.paints;
    f.cursorFollowed = static_cast<int>(rig.timeline.scale().cursorX()) == dragX(moves - 1);

    // All at once: queued together, then handled.
    counter.moves = 0;
    counter.paints = 0;
    const std::uint64_t burstStartUs = bench::monotonicUs();
    for (int i = 0; i < moves; ++i)
        mouseEvent(window, global(dragX(i + 1)), Qt::LeftButton, Qt::NoButton, QEvent::MouseMove, time);
    while (counter.moves < moves && bench::monotonicUs() - burstStartUs < 10'000'000)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    f.burstUsPerMove = double(bench::monotonicUs() - burstStartUs) / moves;
    f.burstPaints = counter.paints;
    f.burstSent = moves;
    f.burstHandled = counter.moves;
    f.cursorFollowed = f.cursorFollowed && static_cast<int>(rig.timeline.scale().cursorX()) == dragX(moves);

    mouseEvent(window, global(dragX(moves)), Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease, time);
    QCoreApplication::processEvents();
    rig.timeline.removeEventFilter(&counter);
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::BenchOptions options({{"rounds", {300, "repaints measured per case"}},
                                 {"spans", {10000, "record spans across the 16 channels"}},
                                 {"moves", {1000, "mouse moves of the drag"}}});
    return bench::PreviewRig::runProgram(argc, argv, options, [&]() -> int {
        bench::BenchReport report("bench-timeline");
        const int rounds = static_cast<int>(std::max<long long>(options.get("rounds"), 1));
        const int spanCount = static_cast<int>(std::max<long long>(options.get("spans"), kRows));
        const int moves = static_cast<int>(std::max<long long>(options.get("moves"), 1));
        const std::vector<SpanSpec> spans = makeSpans(spanCount);

        report.note("timeline " + std::to_string(kWidth) + "x" + std::to_string(kHeight) + ", " +
                    std::to_string(kRows) + " channel rows (4 shown), " + std::to_string(spans.size()) +
                    " spans, " + std::to_string(rounds) + " repaints a case");

        Rig empty;
        const bench::Samples emptyMs = repaintMs(empty.timeline, rounds);

        Rig full;
        full.add(spans);
        struct Case {
            const char* name;
            int level;
            int cursorSecond;
        };
        const Case cases[] = {{"whole day (level 0)", 0, 12 * 3600},
                              {"one hour (level 4)", 4, 13 * 3600 + 1234},
                              {"five minutes (level 7)", 7, 9 * 3600 + 77}};
        for (const Case& c : cases) {
            full.zoomTo(c.level, c.cursorSecond);
            const bench::Samples ms = repaintMs(full.timeline, rounds);
            report.section(std::string("Repaint, ") + c.name);
            report.figure("repaint with the spans: median", ms.median(), "ms");
            report.figure("repaint with the spans: p95", ms.percentile(95), "ms");
            report.figure("repaint with the spans: max", ms.max(), "ms");
            report.reference("repaint of the empty timeline: median", emptyMs.median(), "ms");
            report.reference("repaint of the empty timeline: p95", emptyMs.percentile(95), "ms");
            report.target(std::string("repaint within 4 ms (p95), ") + c.name, ms.percentile(95) <= kRepaintTargetMs);
        }

        {
            // The same spans in a shuffled order: every span its own stretch
            // for the row index, so the overview row is scanned whole.
            std::vector<SpanSpec> shuffled = spans;
            std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
            Rig mixed;
            mixed.add(shuffled);
            mixed.zoomTo(4, 13 * 3600 + 1234);
            const bench::Samples ms = repaintMs(mixed.timeline, rounds);
            report.section("Repaint, one hour (level 4), spans added in a shuffled order");
            report.figure("repaint with the spans: median", ms.median(), "ms");
            report.figure("repaint with the spans: p95", ms.percentile(95), "ms");
            report.reference("repaint of the empty timeline: median", emptyMs.median(), "ms");
            report.target("repaint within 4 ms (p95), shuffled spans", ms.percentile(95) <= kRepaintTargetMs);
        }

        full.zoomTo(4, 13 * 3600 + 1234);
        const DragFigures f = drag(full, moves);
        report.section("Left-button drag of the cursor at one hour (level 4), " + std::to_string(moves) + " moves");
        report.figure("one at a time: moves handled", f.handled, "moves");
        report.figure("one at a time: moves sent", f.sent, "moves");
        report.figure("one at a time: per move (handled + repaint): median", f.perMoveMs.median(), "ms");
        report.figure("one at a time: per move (handled + repaint): p95", f.perMoveMs.percentile(95), "ms");
        report.figure("one at a time: repaints", f.paints, "paints");
        report.figure("queued together: moves handled", f.burstHandled, "moves");
        report.figure("queued together: moves sent", f.burstSent, "moves");
        report.figure("queued together: time per move", f.burstUsPerMove, "us");
        report.figure("queued together: repaints", f.burstPaints, "paints");
        report.reference("repaint of the empty timeline: median", emptyMs.median(), "ms");
        report.note(std::string("the cursor ended where the last move of each pass put it: ") +
                    (f.cursorFollowed ? "yes" : "no"));
        report.target("every mouse move handled (both passes)",
                      f.handled == f.sent && f.burstHandled == f.burstSent && f.cursorFollowed);
        report.target("a move with its repaint within 4 ms (p95)", f.perMoveMs.percentile(95) <= kRepaintTargetMs);
        return report.finish();
    });
}
