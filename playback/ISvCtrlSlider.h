// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's interface, through which the playback control bar drives
// it: redraw, the playback time, zoom, the day and the visible part of it,
// the channel rows and their record spans. The operations are declared in
// the order of the interface's slots.
//
// The interface also knows named data tabs (train speed, sensor and switch
// information readings drawn under the rows); nothing in this system
// registers a tab or feeds such data, so those operations are left out and
// the timeline always runs without a tab. UI thread only.
#pragma once

#include "platform/DateTime.h"

#include <QString>

#include <cstdint>

class ISvCtrlSlider {
public:
    virtual ~ISvCtrlSlider() = default;

    // Redraws the whole window.
    virtual void Invalidate() = 0;
    // Unless the user drags the cursor: the cursor goes to the time, the
    // view pages to hold it, and the window redraws.
    virtual void SetPlayTime(const platform::DateTime& time) = 0;
    virtual platform::DateTime GetCursorTime() const = 0;
    // One zoom level in (up to 7) or out (down to 0, the whole day),
    // keeping the cursor's pixel where the day allows.
    virtual void ZoomIn() = 0;
    virtual void ZoomOut() = 0;
    // Drops every span, back to level 0, empty rows for the channel rows.
    virtual void ClearSpans() = 0;
    // Shows [start, end] between the ruler's ends and redraws at once.
    virtual void SetViewRange(const platform::DateTime& start, const platform::DateTime& end) = 0;
    // The day becomes [start, end] and is shown whole (level 0).
    virtual void SetDayRange(const platform::DateTime& start, const platform::DateTime& end) = 0;
    // As SetPlayTime.
    virtual void MoveCursorTo(const platform::DateTime& time) = 0;
    // Lays out and rescales again and redraws; called after every zoom change.
    virtual void Refresh() = 0;
    // The number of channel rows; the rows are rebuilt empty and the row
    // scroll bar set for the count. The label is not used.
    virtual void SetChannelRows(const QString& label, int count) = 0;
    // A record span of a channel (0-based): added to the overview row and to
    // the channel's row. Type 0 is a normal recording, others an alarm.
    // The label is not used.
    virtual void AddSpan(const QString& label, int channel, const platform::DateTime& start,
                         const platform::DateTime& end, std::uint32_t type) = 0;
};
