// SPDX-License-Identifier: GPL-3.0-or-later
// Yesterday's recordings of a recorder started with --history-days, as the
// playback benchmarks pick their times from them: the recorder's search
// answer per channel, the instant most channels share, the channels that
// have a recording from an instant on.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace bench {

class BenchRecorder;

struct HistorySpan {
    std::int64_t startMs;
    std::int64_t endMs;
    bool alarm;
    std::string startText;  // "YYYY-MM-DD hh:mm:ss", the recorder's local time
    std::string endText;
};

// The recorder's local date of a time ("YYYY-MM-DD") and the library's
// STARTTIME text of it ("YYYYMMDDhhmmss").
std::string localDayText(std::int64_t ms);
std::string localDigitsText(std::int64_t ms);

// The recordings of channels 0..count-1 on the day of `dayMs`, by channel.
std::vector<std::vector<HistorySpan>> historySpans(const BenchRecorder& recorder, std::int64_t dayMs, int count);

// The instant of the day at which most of the first `count` channels have a
// recording for 20 s on (the earliest such), and how many have one there.
std::pair<std::int64_t, int> commonInstant(const std::vector<std::vector<HistorySpan>>& spans, int count);

// The channels among the first `count` with a recording from t on for 20 s:
// only their windows can show a picture of t at once.
std::vector<int> coveredChannels(const std::vector<std::vector<HistorySpan>>& spans, int count, std::int64_t t);

}  // namespace bench
