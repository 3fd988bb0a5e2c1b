// SPDX-License-Identifier: GPL-3.0-or-later
#include "Retention.h"

#include <algorithm>
#include <numeric>

namespace velk::recorder {

std::vector<std::size_t> chooseExpired(const std::vector<RetentionItem>& items, std::int64_t nowMs,
                                       const RetentionLimits& limits)
{
    std::vector<std::size_t> order(items.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return items[a].startMs < items[b].startMs; });
    std::uint64_t total = 0;
    for (const auto& item : items)
        total += item.bytes;
    std::vector<std::size_t> chosen;
    for (const std::size_t i : order) {
        const RetentionItem& item = items[i];
        if (!item.finished)
            continue;
        const bool tooOld = item.endMs < nowMs - limits.maxAgeMs;
        if (!tooOld && total <= limits.maxBytes)
            continue;
        chosen.push_back(i);
        total -= item.bytes;
    }
    return chosen;
}

}  // namespace velk::recorder
