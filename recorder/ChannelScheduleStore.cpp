// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChannelScheduleStore.h"

#include "ScheduleRules.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace velk::recorder {

namespace {

// Writes all of data to a new file and flushes it to disk.
bool writeFileDurably(const std::filesystem::path& file, const std::string& data, std::string& error)
{
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot create " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = "cannot write " + file.string() + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        error = "cannot flush " + file.string() + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = "cannot close " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Makes a rename in the folder durable; failure only costs durability.
void syncFolder(const std::filesystem::path& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

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
    std::error_code fsError;
    std::filesystem::create_directories(m_folder, fsError);
    if (fsError) {
        error = "cannot create " + m_folder.string() + ": " + fsError.message();
        return false;
    }
    const std::filesystem::path file = fileOf(channel);
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    if (!writeFileDurably(temporary, canonicalText, error)) {
        std::filesystem::remove(temporary, fsError);
        return false;
    }
    std::filesystem::rename(temporary, file, fsError);
    if (fsError) {
        error = "cannot replace " + file.string() + ": " + fsError.message();
        std::filesystem::remove(temporary, fsError);
        return false;
    }
    syncFolder(m_folder);
    return true;
}

}  // namespace velk::recorder
