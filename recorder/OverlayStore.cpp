// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayStore.h"

#include "AtomicFile.h"

#include "proto/JsonText.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace velk::recorder {

namespace {

// A stored document is well under 2 KiB; anything much bigger is not one.
constexpr std::uintmax_t kMaxFileBytes = 64 * 1024;

}  // namespace

OverlayStore::OverlayStore(std::filesystem::path dataFolder, std::uint32_t channels, Log log)
    : m_folder(dataFolder.empty() ? std::filesystem::path{} : std::move(dataFolder) / "overlays")
{
    m_settings.reserve(channels);
    for (std::uint32_t channel = 0; channel < channels; ++channel) {
        OverlaySettings settings = OverlaySettings::defaults(channel);
        std::error_code fsError;
        if (!m_folder.empty() && std::filesystem::exists(fileOf(channel), fsError)) {
            std::string error;
            if (auto stored = readFile(fileOf(channel), channel, error))
                settings = std::move(*stored);
            else if (log)
                log("overlay of channel " + std::to_string(channel) + " not loaded, defaults used: " + error);
        }
        m_settings.push_back(std::move(settings));
    }
}

std::filesystem::path OverlayStore::fileOf(std::uint32_t channel) const
{
    return m_folder / ("channel-" + std::to_string(channel) + ".json");
}

std::optional<OverlaySettings> OverlayStore::readFile(const std::filesystem::path& file, std::uint32_t channel,
                                                      std::string& error)
{
    std::error_code fsError;
    const auto size = std::filesystem::file_size(file, fsError);
    if (fsError || size > kMaxFileBytes) {
        error = file.string() + " is unreadable or too large";
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = "cannot read " + file.string();
        return std::nullopt;
    }
    Json::Value document;
    std::string parseError;
    if (!proto::parseJsonObject(content, document, &parseError)) {
        error = file.string() + " is not a JSON object: " + parseError;
        return std::nullopt;
    }
    OverlaySettings settings = OverlaySettings::defaults(channel);
    std::string ruleError;
    if (!settings.apply(document, ruleError)) {
        error = file.string() + " is damaged: " + ruleError;
        return std::nullopt;
    }
    return settings;
}

bool OverlayStore::save(std::uint32_t channel, const OverlaySettings& settings, std::string& error)
{
    if (channel >= m_settings.size()) {
        error = "no such channel";
        return false;
    }
    if (!m_folder.empty() &&
        !replaceFileAtomically(fileOf(channel), proto::writeJson(settings.toJson(channel)), error))
        return false;
    m_settings[channel] = settings;
    return true;
}

}  // namespace velk::recorder
