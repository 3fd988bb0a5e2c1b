// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/Samples.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bench {

double Samples::percentile(double p) const
{
    if (m_values.empty())
        return 0;
    std::vector<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const double clamped = std::clamp(p, 0.0, 100.0);
    // Nearest rank: ceil(p/100 * n), 1-based; rank 1 for p = 0.
    const auto rank = static_cast<std::size_t>(std::ceil(clamped / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::max<std::size_t>(rank, 1) - 1];
}

double Samples::max() const
{
    return m_values.empty() ? 0 : *std::max_element(m_values.begin(), m_values.end());
}

double Samples::mean() const
{
    if (m_values.empty())
        return 0;
    return std::accumulate(m_values.begin(), m_values.end(), 0.0) / static_cast<double>(m_values.size());
}

}  // namespace bench
