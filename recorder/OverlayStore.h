// SPDX-License-Identifier: GPL-3.0-or-later
// Every channel's overlay, kept in memory and stored one file per channel
// under <data>/overlays/ ("channel-<C>.json", C 0-based, the document GET
// /api/overlay answers), each replaced atomically (AtomicFile.h). Read at
// start: a channel without a file has the defaults, and so has one whose
// file is damaged (unreadable, not JSON, breaking a rule), which is logged
// and left as it is until the next save replaces it. Without a data folder
// overlays live in memory only. I/O thread.
#pragma once

#include "OverlaySettings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

class OverlayStore {
public:
    using Log = std::function<void(const std::string&)>;

    OverlayStore(std::filesystem::path dataFolder, std::uint32_t channels, Log log = {});

    std::uint32_t channels() const { return static_cast<std::uint32_t>(m_settings.size()); }
    // Valid channel (below channels()).
    const OverlaySettings& settings(std::uint32_t channel) const { return m_settings[channel]; }
    // Writes the channel's file, then keeps settings. False (and error) when
    // the file could not be written: the old overlay then stays.
    bool save(std::uint32_t channel, const OverlaySettings& settings, std::string& error);

    std::filesystem::path fileOf(std::uint32_t channel) const;
    // A stored file read back: nothing (and error) when it cannot be read or
    // breaks a rule.
    static std::optional<OverlaySettings> readFile(const std::filesystem::path& file, std::uint32_t channel,
                                                   std::string& error);

private:
    std::filesystem::path m_folder;  // empty: memory only
    std::vector<OverlaySettings> m_settings;
};

}  // namespace velk::recorder
