// SPDX-License-Identifier: GPL-3.0-or-later
// The text of one INI file, read and changed one key at a time while every
// other line stays as it was (comments, blank lines, order, line breaks).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniDocument {
public:
    // Accepts LF and CRLF line breaks, a UTF-8 byte order mark and a last
    // line without a line break.
    static IniDocument parse(std::string_view content);

    // The value of a key, blanks around it removed; nullopt when the section
    // or key is missing. Names match case-insensitively (ASCII); the first
    // matching key of the first section that has it wins.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Sets a key: replaces the value of its first occurrence, else appends the
    // key at the end of the first matching section, else appends the section
    // at the end of the text. False, and nothing changed, for names or values
    // the file could not hold back (line breaks, NULs, an empty or '='-holding
    // key, an empty or ']'-holding section name).
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string text() const;

private:
    // Gives the last line its line break before lines are added after it.
    void endLastLine();

    std::vector<std::string> m_lines;  // without '\n'; a CRLF file's lines end in '\r'
    bool m_finalLineBreak = true;      // whether the last line ends with '\n'
    bool m_crlf = false;               // line breaks of lines this class adds
};

}  // namespace platform
