// SPDX-License-Identifier: GPL-3.0-or-later
// TOVR_TRACE=<file>: one line per call, appended: the command text exactly
// as received, a tab, the result in decimal, a line break. The file is
// created readable by its owner only, since LOGIN texts carry passwords.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace velk::tovr {

class TraceLog {
public:
    static TraceLog& instance();

    // Reads TOVR_TRACE again (done when the library starts). Any thread.
    void configureFromEnvironment();
    // Any thread.
    void append(const char* commandText, std::int32_t result);

private:
    std::mutex m_traceLock;      // guards m_path, m_configured and writes to the file
    std::string m_path;          // empty: tracing off
    bool m_configured = false;
};

}  // namespace velk::tovr
