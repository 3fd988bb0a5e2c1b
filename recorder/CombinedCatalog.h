// SPDX-License-Identifier: GPL-3.0-or-later
// What searches and playback see: the recordings stored on disk and the
// generated history together. Where a stored span of a channel overlaps its
// history (of any type), the stored recording wins: the history span is cut
// around it into pieces, each starting on a whole 10 s of its span (so on
// the loop's first key picture) and ending on a whole frame. Spans come out
// ordered by start; a reader walks the stored frames and the history
// pieces of a channel together in time order. Either source may be absent.
// Runs on the recorder's I/O thread.
#pragma once

#include "HistoryRecordings.h"
#include "RecordingCatalog.h"

namespace velk::recorder {

class CombinedCatalog : public RecordingCatalog {
public:
    CombinedCatalog(const RecordingCatalog* stored, const HistoryRecordings* history)
        : m_stored(stored), m_history(history)
    {
    }

    void setStored(const RecordingCatalog* stored) { m_stored = stored; }
    void setHistory(const HistoryRecordings* history) { m_history = history; }

    std::vector<RecordSpan> spans(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                  RecordTypeFilter filter) const override;
    std::unique_ptr<FrameReader> openReader(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                            RecordTypeFilter filter) const override;

private:
    // The history spans of the channel overlapping [fromMs, toMs), cut
    // around every stored span.
    std::vector<RecordSpan> historyPieces(std::uint32_t channel, std::int64_t fromMs, std::int64_t toMs,
                                          RecordTypeFilter filter) const;

    const RecordingCatalog* m_stored;
    const HistoryRecordings* m_history;
};

// history minus the covered stretches (ordered, not overlapping): the
// pieces left, each moved to start on a whole 10 s of its span's start and
// to end on a whole frame; pieces too short for a frame are left out.
std::vector<RecordSpan> cutAround(const RecordSpan& history, const std::vector<RecordSpan>& covered);

}  // namespace velk::recorder
