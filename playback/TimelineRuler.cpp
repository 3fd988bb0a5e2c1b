// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/TimelineRuler.h"

#include <cmath>
#include <cstdio>

namespace timeline {

namespace {

RulerLabel label(int left, int hour, int minute)
{
    RulerLabel l;
    l.left = left;
    std::snprintf(l.text.data(), l.text.size(), "%02d:%02d", hour % 100, minute % 100);
    return l;
}

}  // namespace

void TimelineRuler::layout(const TimelineScale& scale, const TimelineRect& ruler)
{
    m_major.clear();
    m_minor.clear();
    m_labels.clear();

    const ZoomLevel& z = scale.zoom();
    const platform::SystemTime start = scale.viewStart().toSystemTime();
    const int hour = start.hour;
    const int minute = start.minute;
    const double ppd = scale.pixelsPerDivision();
    const double minorStep = ppd / z.minorTicksPerDivision;

    // The first division boundary after the view start, in pixels from the
    // ruler's left end (only minutes and seconds decide it).
    const int offsetSeconds = z.secondsPerDivision - (minute * 60) % z.secondsPerDivision - start.second;
    const double firstTick = std::trunc(offsetSeconds * scale.pixelsPerSecond());

    m_labels.push_back(label(ruler.left - kLeftLabelOffset, hour, minute));
    m_major.push_back(ruler.left);

    const double firstX = ruler.left + firstTick;
    for (double x = ruler.left + minorStep; x < firstX && x <= ruler.right; x += minorStep)
        m_minor.push_back(static_cast<int>(x));

    for (int k = 1;; ++k) {
        const double x = ruler.left + (k - 1) * ppd + firstTick;
        if (x > ruler.right || ppd <= 0)
            break;
        m_major.push_back(static_cast<int>(x));
        const int tickHour = (k * z.minutesPerDivision + minute) / 60 + hour;
        const int tickMinute =
            (((k * z.minutesPerDivision + hour * 60 + minute) % 60) / z.minutesPerDivision) * z.minutesPerDivision;
        m_labels.push_back(label(static_cast<int>(x), tickHour, tickMinute));
        for (int j = 1; j < z.minorTicksPerDivision; ++j) {
            const double minorX = x + j * minorStep;
            if (minorX > ruler.right)
                break;
            m_minor.push_back(static_cast<int>(minorX));
        }
    }
}

std::vector<const RulerLabel*> readableLabels(const std::vector<RulerLabel>& labels,
                                              const std::function<int(const RulerLabel&)>& width, int gap)
{
    std::vector<const RulerLabel*> kept;
    for (const RulerLabel& label : labels) {
        if (!kept.empty() && label.left < kept.back()->left + width(*kept.back()) + gap)
            continue;
        kept.push_back(&label);
    }
    return kept;
}

}  // namespace timeline
