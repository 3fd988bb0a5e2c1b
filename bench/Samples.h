// SPDX-License-Identifier: GPL-3.0-or-later
// A set of measured values (milliseconds, microseconds, whatever one unit)
// and the order statistics the benchmarks print.
#pragma once

#include <cstddef>
#include <vector>

namespace bench {

class Samples {
public:
    void add(double value) { m_values.push_back(value); }
    void clear() { m_values.clear(); }
    std::size_t count() const { return m_values.size(); }
    bool empty() const { return m_values.empty(); }

    // The p-th percentile (0..100), nearest-rank: the smallest value that at
    // least p percent of the values do not exceed. 0 when empty.
    double percentile(double p) const;
    double median() const { return percentile(50); }
    double max() const;
    double mean() const;

private:
    std::vector<double> m_values;
};

}  // namespace bench
