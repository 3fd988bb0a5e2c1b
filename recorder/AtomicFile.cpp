// SPDX-License-Identifier: GPL-3.0-or-later
#include "AtomicFile.h"

#include <cerrno>
#include <cstring>
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

bool replaceFileAtomically(const std::filesystem::path& file, const std::string& data, std::string& error)
{
    std::error_code fsError;
    const std::filesystem::path folder = file.parent_path();
    std::filesystem::create_directories(folder, fsError);
    if (fsError) {
        error = "cannot create " + folder.string() + ": " + fsError.message();
        return false;
    }
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    if (!writeFileDurably(temporary, data, error)) {
        std::filesystem::remove(temporary, fsError);
        return false;
    }
    std::filesystem::rename(temporary, file, fsError);
    if (fsError) {
        error = "cannot replace " + file.string() + ": " + fsError.message();
        std::filesystem::remove(temporary, fsError);
        return false;
    }
    syncFolder(folder);
    return true;
}

}  // namespace velk::recorder
