// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BenchReport.h"

#include <cstdio>

#include <unistd.h>

namespace bench {

BenchReport::BenchReport(std::string name) : m_name(std::move(name))
{
    std::printf("# %s\n", m_name.c_str());
    // Other work on the machine moves every figure: say how busy it was.
    if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
        double oneMinute = 0;
        if (std::fscanf(file, "%lf", &oneMinute) == 1)
            std::printf("  load average (1 min) at start: %.2f on %ld cores\n", oneMinute, sysconf(_SC_NPROCESSORS_ONLN));
        std::fclose(file);
    }
    std::fflush(stdout);
}

void BenchReport::section(const std::string& title)
{
    std::printf("\n== %s ==\n", title.c_str());
    std::fflush(stdout);
}

void BenchReport::line(const char* kind, const std::string& label, double value, const std::string& unit)
{
    std::printf("  %-9s %-58s %10.2f %s\n", kind, label.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

void BenchReport::figure(const std::string& label, double value, const std::string& unit)
{
    line("figure", label, value, unit);
}

void BenchReport::reference(const std::string& label, double value, const std::string& unit)
{
    line("reference", label, value, unit);
}

void BenchReport::note(const std::string& text)
{
    std::printf("  %s\n", text.c_str());
    std::fflush(stdout);
}

bool BenchReport::target(const std::string& label, bool met)
{
    ++m_targets;
    if (!met)
        m_missed.push_back(label);
    std::printf("  %-9s %-58s %10s\n", "target", label.c_str(), met ? "PASS" : "MISS");
    std::fflush(stdout);
    return met;
}

int BenchReport::finish()
{
    std::printf("\nSUMMARY %s: %d targets, %zu missed", m_name.c_str(), m_targets, m_missed.size());
    for (std::size_t i = 0; i < m_missed.size(); ++i)
        std::printf("%s%s", i == 0 ? " (" : "; ", m_missed[i].c_str());
    std::printf("%s\n", m_missed.empty() ? "" : ")");
    std::fflush(stdout);
    return 0;
}

}  // namespace bench
