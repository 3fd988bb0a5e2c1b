// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/FfmpegLog.h"

#include "platform/Debug.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdarg>
#include <mutex>
#include <string>

namespace mivu {

namespace {

// Called by libav* on any thread.
void logLine(void* object, int level, const char* format, va_list arguments)
{
    if (level > AV_LOG_ERROR)
        return;
    // A message may come in pieces; the prefix goes only before the first.
    thread_local int printPrefix = 1;
    char line[1024];
    av_log_format_line2(object, level, format, arguments, line, sizeof line, &printPrefix);
    platform::debugOutput(std::string("MIVU: ") + line);
}

}  // namespace

void routeFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(logLine); });
}

}  // namespace mivu
