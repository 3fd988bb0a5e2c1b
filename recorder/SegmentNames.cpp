// SPDX-License-Identifier: GPL-3.0-or-later
#include "SegmentNames.h"

#include <cstdio>
#include <ctime>

namespace velk::recorder {

namespace {

std::tm localTm(std::int64_t wallMs)
{
    const std::time_t seconds = static_cast<std::time_t>(wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

bool allDigits(std::string_view text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

std::string localDayText(std::int64_t wallMs)
{
    const std::tm t = localTm(wallMs);
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
    return text;
}

std::string segmentRelativePath(std::uint32_t channel, std::int64_t startMs, RecordType type, int serial)
{
    const std::tm t = localTm(startMs);
    char folder[64];
    std::snprintf(folder, sizeof folder, "ch%02u/%04d%02d%02d/", channel + 1, t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday);
    char name[96];
    std::snprintf(name, sizeof name, "ch%02u_%04d%02d%02d-%02d%02d%02d_%c", channel + 1, t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, type == RecordType::Alarm ? 'A' : 'N');
    std::string path = std::string(folder) + name;
    if (serial > 1)
        path += "_" + std::to_string(serial);
    return path + ".264";
}

std::optional<SegmentName> parseSegmentRelativePath(std::string_view path)
{
    // ch<nn>/<day>/ch<nn>_<day>-<hhmmss>_<T>[_k].264
    const auto slash1 = path.find('/');
    if (slash1 == std::string_view::npos)
        return std::nullopt;
    const auto slash2 = path.find('/', slash1 + 1);
    if (slash2 == std::string_view::npos || path.find('/', slash2 + 1) != std::string_view::npos)
        return std::nullopt;
    const std::string_view channelDir = path.substr(0, slash1);
    const std::string_view day = path.substr(slash1 + 1, slash2 - slash1 - 1);
    std::string_view file = path.substr(slash2 + 1);
    if (channelDir.size() < 4 || channelDir.substr(0, 2) != "ch" || !allDigits(channelDir.substr(2)) ||
        channelDir.size() > 5 || day.size() != 8 || !allDigits(day))
        return std::nullopt;
    const unsigned channelNumber = static_cast<unsigned>(std::stoul(std::string(channelDir.substr(2))));
    if (channelNumber == 0)
        return std::nullopt;
    const std::string prefix = std::string(channelDir) + "_" + std::string(day) + "-";
    if (file.size() < 4 || file.substr(file.size() - 4) != ".264" || file.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    file = file.substr(prefix.size(), file.size() - prefix.size() - 4);  // hhmmss_T[_k]
    if (file.size() < 8 || !allDigits(file.substr(0, 6)) || file[6] != '_' || (file[7] != 'N' && file[7] != 'A'))
        return std::nullopt;
    if (file.size() > 8 && (file[8] != '_' || !allDigits(file.substr(9))))
        return std::nullopt;
    SegmentName name;
    name.channel = channelNumber - 1;
    name.type = file[7] == 'A' ? RecordType::Alarm : RecordType::Normal;
    name.day = std::string(day);
    return name;
}

std::string indexPathOf(const std::string& segmentPath)
{
    return segmentPath.substr(0, segmentPath.size() - 4) + ".idx";
}

}  // namespace velk::recorder
