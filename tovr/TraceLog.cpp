// SPDX-License-Identifier: GPL-3.0-or-later
#include "TraceLog.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace velk::tovr {

TraceLog& TraceLog::instance()
{
    static TraceLog log;
    return log;
}

void TraceLog::configureFromEnvironment()
{
    const char* path = std::getenv("TOVR_TRACE");
    std::lock_guard lock(m_traceLock);
    m_path = path ? path : "";
    m_configured = true;
}

void TraceLog::append(const char* commandText, std::int32_t result)
{
    std::lock_guard lock(m_traceLock);
    if (!m_configured) {
        const char* path = std::getenv("TOVR_TRACE");
        m_path = path ? path : "";
        m_configured = true;
    }
    if (m_path.empty())
        return;
    std::string line = commandText ? commandText : "";
    line += '\t';
    line += std::to_string(result);
    line += '\n';
    const int fd = ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    ::close(fd);
}

}  // namespace velk::tovr
