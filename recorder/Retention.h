// SPDX-License-Identifier: GPL-3.0-or-later
// Which stored segments to delete so that what is kept is no older than the
// retention time and no larger than the retention size: the oldest finished
// segments first (by their start), each one too old or while the total is
// above the size. A segment still being recorded is never chosen.
#pragma once

#include <cstdint>
#include <vector>

namespace velk::recorder {

struct RetentionItem {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    std::uint64_t bytes = 0;  // its files on disk (data and index)
    bool finished = false;
};

struct RetentionLimits {
    std::int64_t maxAgeMs = 168LL * 3600 * 1000;
    std::uint64_t maxBytes = 2ULL << 30;
};

// Indexes (into items) of the segments to delete, oldest first.
std::vector<std::size_t> chooseExpired(const std::vector<RetentionItem>& items, std::int64_t nowMs,
                                       const RetentionLimits& limits);

}  // namespace velk::recorder
