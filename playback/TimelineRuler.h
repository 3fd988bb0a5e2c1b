// SPDX-License-Identifier: GPL-3.0-or-later
// The ruler's marks for the current view and scale: a labelled major tick
// at the ruler's left end, then a labelled major tick for every division
// boundary that fits, with minor ticks between. Labels are "HH:MM"; the
// hour is not wrapped, so the end of the day reads 24:00. Plain
// calculations, any thread; the vectors keep their room between layouts so
// that a repaint does not allocate.
#pragma once

#include "playback/TimelineGeometry.h"
#include "playback/TimelineScale.h"

#include <array>
#include <functional>
#include <vector>

namespace timeline {

struct RulerLabel {
    int left = 0;  // the text's left; its top is the ruler's bottom - 20
    std::array<char, 8> text{};
};

// The labels that stay readable, left to right: a label that would start
// less than `gap` pixels after the end of the last one kept is left out (on
// a narrow timeline the ruler has more divisions than room for their
// texts). `width` gives a label's text width in pixels.
std::vector<const RulerLabel*> readableLabels(const std::vector<RulerLabel>& labels,
                                              const std::function<int(const RulerLabel&)>& width, int gap);

class TimelineRuler {
public:
    static constexpr int kMajorTickHeight = 10;
    static constexpr int kMinorTickHeight = 5;
    static constexpr int kLabelRise = 20;        // label top above the ruler bottom
    static constexpr int kLeftLabelOffset = 28;  // the left end's label starts this far left

    // Lays the marks out for the ruler rectangle (its left and right ends
    // at the scale's ruler left and right).
    void layout(const TimelineScale& scale, const TimelineRect& ruler);

    const std::vector<int>& majorTicks() const { return m_major; }  // x, left end first
    const std::vector<int>& minorTicks() const { return m_minor; }
    const std::vector<RulerLabel>& labels() const { return m_labels; }  // left end first

private:
    std::vector<int> m_major;
    std::vector<int> m_minor;
    std::vector<RulerLabel> m_labels;
};

}  // namespace timeline
