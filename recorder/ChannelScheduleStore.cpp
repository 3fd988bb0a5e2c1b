// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChannelScheduleStore.h"

#include "AtomicFile.h"
#include "ScheduleRules.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace velk::recorder {

ChannelScheduleStore::ChannelScheduleStore(std::filesystem::path dataFolder)
    : m_folder(std::move(dataFolder) / "schedules")
{
}

std::filesystem::path ChannelScheduleStore::fileOf(std::uint32_t channel) const
{
    return m_folder / ("channel-" + std::to_string(channel) + ".json");
}

std::optional<std::string> ChannelScheduleStore::load(std::uint32_t channel, std::string& error) const
{
    const std::filesystem::path file = fileOf(channel);
    std::error_code fsError;
    if (!std::filesystem::exists(file, fsError)) {
        if (fsError) {
            error = "cannot look for " + file.string() + ": " + fsError.message();
            return std::nullopt;
        }
        return emptyScheduleText();
    }
    const auto size = std::filesystem::file_size(file, fsError);
    if (fsError || size > kMaxScheduleTextBytes) {
        error = "stored schedule " + file.string() + " is unreadable or too large";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    std::string canonical;
    std::string ruleError;
    if (!normaliseScheduleText(content, canonical, ruleError)) {
        error = "stored schedule " + file.string() + " is damaged: " + ruleError;
        return std::nullopt;
    }
    return canonical;
}

bool ChannelScheduleStore::save(std::uint32_t channel, const std::string& canonicalText, std::string& error) const
{
    return replaceFileAtomically(fileOf(channel), canonicalText, error);
}

}  // namespace velk::recorder
