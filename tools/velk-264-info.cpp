// SPDX-License-Identifier: GPL-3.0-or-later
// velk-264-info: prints what a local record file (.264) holds, or writes
// the missing header of a file whose recording was cut off.
#include "RecordFileReport.h"

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr int kExitUsage = 2;  // also I/O errors

int usage(std::FILE* out)
{
    std::fputs("usage: velk-264-info [--json] FILE\n"
               "       velk-264-info --repair [--force] FILE\n"
               "Prints the header of a record file, the times of its first and last frame,\n"
               "the number of frames and the first container error. Exit code 0 when the\n"
               "file reads cleanly, 1 when its container has an error, 2 on usage or I/O\n"
               "errors. --repair writes the header of a file whose header is all zero\n"
               "(an unfinished recording); --force also replaces a header that is set.\n",
               out);
    return out == stdout ? 0 : kExitUsage;
}

std::string timeText(const std::optional<recordfile::HeaderTime>& time)
{
    return time ? recordfile::formatUtc(time->seconds, time->milliseconds) : "none";
}

int repair(const std::string& path, bool force)
{
    const recordfile::RepairResult result = recordfile::repairFile(path, force);
    std::printf("file: %s\n", path.c_str());
    if (!result.written) {
        std::printf("repair: %s\n", result.message.c_str());
        return result.ioError ? kExitUsage : 1;
    }
    std::printf("repair: %s\n", result.message.c_str());
    std::printf("channel: %d\n", result.fields.channel + 1);
    std::printf("first frame time: %s\n", timeText(result.fields.firstTime).c_str());
    std::printf("last frame time: %s\n", timeText(result.fields.lastTime).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    bool json = false;
    bool repairMode = false;
    bool force = false;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h")
            return usage(stdout);
        if (arg == "--json")
            json = true;
        else if (arg == "--repair")
            repairMode = true;
        else if (arg == "--force")
            force = true;
        else if (arg == "--" && i + 2 == argc)
            path = argv[++i];
        else if (!arg.empty() && arg.front() != '-' && path.empty())
            path = std::string(arg);
        else
            return usage(stderr);
    }
    if (path.empty() || (force && !repairMode) || (json && repairMode))
        return usage(stderr);
    if (repairMode)
        return repair(path, force);
    const RecordFileReport report = RecordFileReport::read(path);
    const std::string out = json ? report.json() : report.text();
    std::fputs(out.c_str(), stdout);
    return report.exitCode();
}
