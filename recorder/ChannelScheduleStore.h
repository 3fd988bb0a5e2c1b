// SPDX-License-Identifier: GPL-3.0-or-later
// The weekly recording schedule of each channel, one file per channel under
// <data>/schedules/ ("channel-<C>.json", C 0-based), holding the canonical
// schedule text (ScheduleRules.h). A channel never given a schedule has the
// empty week. Files are replaced atomically: written to a temporary file,
// flushed to disk, then renamed over the old one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velk::recorder {

class ChannelScheduleStore {
public:
    explicit ChannelScheduleStore(std::filesystem::path dataFolder);

    // The channel's schedule text; the empty week when none was stored.
    // Nothing (and error) when the stored file cannot be read or no longer
    // keeps the rules.
    std::optional<std::string> load(std::uint32_t channel, std::string& error) const;
    // Stores a canonical schedule text for the channel. False (and error)
    // when the file could not be written; the old schedule then stays.
    bool save(std::uint32_t channel, const std::string& canonicalText, std::string& error) const;

    std::filesystem::path fileOf(std::uint32_t channel) const;

private:
    std::filesystem::path m_folder;
};

}  // namespace velk::recorder
