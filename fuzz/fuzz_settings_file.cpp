// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: the INI text (platform/IniDocument), the profile
// functions that read and write one key of a file, and the per-recorder
// settings (device/SessionSettings) loaded from a file of that content.
//
// Input: byte 0 picks the key to write, byte 1 the field limit of a read;
// then, split at the first NUL, the file's content and the value to write.
//
// Properties checked: a parsed text writes back unchanged; a value that
// setValue accepts reads back (blanks around it removed) and no other key
// changes; a read never returns more characters than asked.
//
// The settings are loaded from a sandbox profile folder. Loading creates the
// folders the file names when they are absolute paths, so contents that
// name one are not loaded (the fuzzer would otherwise make folders all over
// the file system); the INI and profile checks still run on them.
#include "FuzzCheck.h"

#include "device/SessionSettings.h"
#include "platform/IniDocument.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

constexpr const char* kKeys[] = {"snap_path", "record_path", "backup_path",
                                 "record_pack_time", "alarm_path", "save_alarm"};
constexpr const char* kFolderKeys[] = {"snap_path", "record_path", "backup_path", "alarm_path"};
constexpr const char* kAddress = "192.168.1.64";
constexpr std::uint32_t kWebPort = 80;

std::filesystem::path& sandbox()
{
    static std::filesystem::path folder;
    return folder;
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::size_t codePoints(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

void checkDocument(const std::string& content, std::string_view key, std::string_view value)
{
    platform::IniDocument document = platform::IniDocument::parse(content);
    FUZZ_CHECK(document.text() == content);

    std::optional<std::string> before[std::size(kKeys)];
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        before[i] = document.value(SessionSettings::kSection, kKeys[i]);
    if (!document.setValue(SessionSettings::kSection, key, value)) {
        FUZZ_CHECK(document.text() == content);
        return;
    }
    const std::optional<std::string> read = document.value(SessionSettings::kSection, key);
    FUZZ_CHECK(read.has_value() && *read == trimmed(value));
    for (std::size_t i = 0; i < std::size(kKeys); ++i)
        if (kKeys[i] != key)
            FUZZ_CHECK(document.value(SessionSettings::kSection, kKeys[i]) == before[i]);
    // What was written parses to the same document.
    const std::string written = document.text();
    FUZZ_CHECK(platform::IniDocument::parse(written).text() == written);
    FUZZ_CHECK(platform::IniDocument::parse(written).value(SessionSettings::kSection, key) == read);
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

void checkSettings(const std::string& content, const char* key, const std::string& value, std::size_t maxChars)
{
    const std::string path = platform::toUtf8(SessionSettings::filePathFor(QString::fromLatin1(kAddress), kWebPort));
    FUZZ_CHECK(path.rfind(sandbox().string(), 0) == 0);
    writeFile(path, content);

    for (const char* k : kKeys) {
        const std::string read = platform::readProfileString(path, SessionSettings::kSection, k, "-", maxChars);
        FUZZ_CHECK(codePoints(read) <= std::max<std::size_t>(maxChars, 1));
    }
    for (const char* k : kFolderKeys) {
        const std::string folder = platform::toForwardSlashes(
            platform::readProfileString(path, SessionSettings::kSection, k, {}, SessionSettings::kPathChars - 1));
        if (!folder.empty() && folder.front() == '/')
            return;  // load() would create it
    }

    SessionSettings settings;
    settings.load(QString::fromLatin1(kAddress), kWebPort);
    for (const char* k : kKeys) {
        const QString read = settings.read(QString::fromLatin1(k));
        FUZZ_CHECK(static_cast<std::size_t>(read.size()) < SessionSettings::kPathChars * 2);
    }
    FUZZ_CHECK(!settings.recordPackTime().isEmpty() && !settings.saveAlarm().isEmpty());

    const QString newValue = QString::fromUtf8(value);
    if (settings.write(QString::fromLatin1(key), newValue)) {
        const std::string utf8 = platform::toUtf8(newValue);
        const std::string_view expected = trimmed(utf8);
        // The file's value wins when it is not empty; it is cut to the field.
        if (!expected.empty()) {
            const std::string read = platform::toUtf8(settings.read(QString::fromLatin1(key)));
            FUZZ_CHECK(!read.empty() && expected.substr(0, read.size()) == read);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/velk-fuzz-settings-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr)
        std::abort();
    sandbox() = made;
    setenv("USERPROFILE", made, 1);
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(sandbox(), ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const char* key = kKeys[data[0] % std::size(kKeys)];
    const std::size_t maxChars = data[1];
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t split = rest.find('\0');
    const std::string content(rest.substr(0, split));
    const std::string value(split == std::string_view::npos ? std::string_view() : rest.substr(split + 1));

    checkDocument(content, key, value);
    checkSettings(content, key, value, maxChars);
    return 0;
}
