// SPDX-License-Identifier: GPL-3.0-or-later
// What a benchmark prints: its figures, the reference figures measured in
// the same run, and each target with PASS or MISS. A benchmark never fails
// because of a figure; the last line sums the targets up for run-all.sh:
//   SUMMARY <name>: <n> targets, <m> missed
#pragma once

#include <string>
#include <vector>

namespace bench {

class BenchReport {
public:
    explicit BenchReport(std::string name);

    // A heading for a group of figures.
    void section(const std::string& title);
    void figure(const std::string& label, double value, const std::string& unit);
    void reference(const std::string& label, double value, const std::string& unit);
    // A plain line of context (setup, counts).
    void note(const std::string& text);
    // A target and whether the figure met it; returns met.
    bool target(const std::string& label, bool met);
    // Prints the summary line; returns the exit code (0: the benchmark ran).
    int finish();

private:
    void line(const char* kind, const std::string& label, double value, const std::string& unit);

    const std::string m_name;
    std::vector<std::string> m_missed;
    int m_targets = 0;
};

}  // namespace bench
