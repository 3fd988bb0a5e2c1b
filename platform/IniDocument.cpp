// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniDocument.h"

#include <algorithm>

namespace platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

// The content of a line as the parser sees it (no BOM, no blanks around).
std::string_view content(const std::string& line, bool first)
{
    std::string_view view(line);
    if (first && view.substr(0, kUtf8Bom.size()) == kUtf8Bom)
        view.remove_prefix(kUtf8Bom.size());
    return trim(view);
}

bool isComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

std::optional<std::string_view> sectionOf(std::string_view trimmed)
{
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    trimmed.remove_prefix(1);
    const auto close = trimmed.find(']');
    return trim(trimmed.substr(0, close));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyOf(std::string_view trimmed)
{
    if (trimmed.empty() || trimmed.front() == '[' || isComment(trimmed))
        return std::nullopt;
    const auto equals = trimmed.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return KeyLine{trim(trimmed.substr(0, equals)), trim(trimmed.substr(equals + 1))};
}

bool hasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

IniDocument IniDocument::parse(std::string_view text)
{
    IniDocument doc;
    doc.m_finalLineBreak = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        doc.m_lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    doc.m_crlf = std::any_of(doc.m_lines.begin(), doc.m_lines.end(),
                             [](const std::string& l) { return !l.empty() && l.back() == '\r'; });
    return doc;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    section = trim(section);
    key = trim(key);
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const std::string_view line = content(m_lines[i], i == 0);
        if (auto name = sectionOf(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (auto entry = keyOf(line); entry && sameName(entry->key, key))
            return std::string(entry->value);
    }
    return std::nullopt;
}

bool IniDocument::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty() || hasLineBreakOrNul(section) || hasLineBreakOrNul(key) ||
        hasLineBreakOrNul(value) || section.find(']') != std::string_view::npos ||
        key.find('=') != std::string_view::npos || key.front() == '[' || isComment(key))
        return false;

    // Blanks around a value are dropped when it is read, so they are not
    // written either: a value of blanks is stored as an empty value.
    value = trim(value);
    const std::string lineEnd = m_crlf ? "\r" : "";
    enum class First { NotSeen, Inside, Passed };
    First first = First::NotSeen;
    std::size_t insertAfter = 0;  // last non-blank line of the first matching section
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        std::string& raw = m_lines[i];
        const std::string_view line = content(raw, i == 0);
        if (auto name = sectionOf(line)) {
            inSection = sameName(*name, section);
            if (first == First::Inside)
                first = First::Passed;
            if (inSection && first == First::NotSeen) {
                first = First::Inside;
                insertAfter = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (auto entry = keyOf(line); entry && sameName(entry->key, key)) {
            // Keep everything up to the '=', and the blanks after it when they
            // stand between the '=' and a value ("key = value" keeps its
            // look). Blanks that were the whole old value are dropped: kept,
            // they would sit in front of every later value.
            auto valueStart = raw.find('=') + 1;
            if (!entry->value.empty()) {
                while (valueStart < raw.size() && (raw[valueStart] == ' ' || raw[valueStart] == '\t'))
                    ++valueStart;
            }
            const bool hadCr = !raw.empty() && raw.back() == '\r';
            raw = raw.substr(0, valueStart) + std::string(value) + (hadCr ? "\r" : "");
            return true;
        }
        if (first == First::Inside && !line.empty() && !isComment(line))
            insertAfter = i;
    }

    const std::string keyLine = std::string(key) + "=" + std::string(value) + lineEnd;
    if (first != First::NotSeen) {
        const std::size_t at = insertAfter + 1;
        if (at == m_lines.size())
            endLastLine();
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), keyLine);
        return true;
    }
    endLastLine();
    m_lines.push_back("[" + std::string(section) + "]" + lineEnd);
    m_lines.push_back(keyLine);
    return true;
}

void IniDocument::endLastLine()
{
    if (!m_finalLineBreak && m_crlf && !m_lines.empty() && !m_lines.back().empty() && m_lines.back().back() != '\r')
        m_lines.back() += '\r';
    m_finalLineBreak = true;
}

std::string IniDocument::text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i];
        if (i + 1 < m_lines.size() || m_finalLineBreak)
            out += '\n';
    }
    return out;
}

}  // namespace platform
