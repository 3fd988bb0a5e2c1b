// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Profile.h"

#include "platform/IniDocument.h"

#include <QFile>
#include <QSaveFile>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

namespace platform {

namespace {

// Serialises read-modify-write of profile files within the process, so two
// threads writing different keys of one file both keep their change.
std::mutex& profileWriteLock()
{
    static std::mutex lock;
    return lock;
}

// The file's bytes; an empty text for a missing file; nullopt when the file
// exists but cannot be read.
std::optional<std::string> readWholeFile(const std::string& path)
{
    QFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    if (!file.exists())
        return std::string();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The first maxChars characters of a UTF-8 text.
std::string firstChars(std::string text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;
        if (chars == maxChars) {
            text.resize(i);
            break;
        }
        ++chars;
    }
    return text;
}

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Length of a well-formed UTF-8 sequence starting at text[i], or 0.
std::size_t utf8SequenceLength(std::string_view text, std::size_t i, char32_t& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

}  // namespace

std::string readProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t maxChars)
{
    std::string result(defaultValue);
    if (const auto content = readWholeFile(path)) {
        if (auto value = IniDocument::parse(*content).value(section, key))
            result = std::move(*value);
    }
    return firstChars(std::move(result), maxChars);
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value)
{
    std::lock_guard<std::mutex> lock(profileWriteLock());
    const auto content = readWholeFile(path);
    if (!content)
        return false;  // never replace a file we could not read
    IniDocument doc = IniDocument::parse(*content);
    if (!doc.setValue(section, key, value))
        return false;
    const std::string text = doc.text();
    // Written beside the file and renamed over it: a crash leaves the old
    // file or the new one, never half of one.
    QSaveFile file(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
        return false;  // the unfinished copy is discarded, the file untouched
    return file.commit();
}

std::string profileFolder()
{
    std::string folder;
    const char* profile = std::getenv("USERPROFILE");
    if (profile != nullptr && profile[0] != '\0') {
        folder = profile;
    } else if (const char* home = std::getenv("HOME"); home != nullptr) {
        folder = home;
    }
    while (!folder.empty() && isSeparator(folder.back()))
        folder.pop_back();
    return folder;
}

std::string safeFileNamePart(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
            out += kept ? c : '_';
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = utf8SequenceLength(text, i, codePoint);
        if (length == 0 || codePoint <= 0x9F) {  // broken UTF-8 or a C1 control
            out += '_';
            i += length == 0 ? 1 : length;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    if (out.find_first_not_of('.') == std::string::npos)
        return "_";  // empty, "." or ".." and the like
    // No ".." anywhere: the second dot of each pair becomes '_'.
    for (std::size_t i = 1; i < out.size(); ++i) {
        if (out[i] == '.' && out[i - 1] == '.')
            out[i] = '_';
    }
    return out;
}

std::string toForwardSlashes(std::string_view path)
{
    std::string out(path);
    for (char& c : out) {
        if (c == '\\')
            c = '/';
    }
    return out;
}

void createFoldersOf(std::string_view path)
{
    const std::string forward = toForwardSlashes(path);
    const auto last = forward.rfind('/');
    if (last == std::string::npos || last == 0)
        return;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(forward.substr(0, last)), ignored);
}

}  // namespace platform
