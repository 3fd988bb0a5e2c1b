// SPDX-License-Identifier: GPL-3.0-or-later
#include "ParameterSets.h"

namespace velk::recorder {

namespace {

constexpr std::uint8_t kStartCode[] = {0, 0, 0, 1};

void appendUnit(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> unit)
{
    out.insert(out.end(), std::begin(kStartCode), std::end(kStartCode));
    out.insert(out.end(), unit.begin(), unit.end());
}

}  // namespace

std::vector<std::span<const std::uint8_t>> annexBUnits(std::span<const std::uint8_t> data)
{
    std::vector<std::span<const std::uint8_t>> units;
    const std::size_t n = data.size();
    std::size_t i = 0;
    std::size_t unitStart = n;  // none yet
    while (i + 2 < n) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            if (unitStart < n) {
                // The zero before "00 00 01" belongs to a four-byte start code.
                std::size_t end = i;
                while (end > unitStart && data[end - 1] == 0)
                    --end;
                if (end > unitStart)
                    units.push_back(data.subspan(unitStart, end - unitStart));
            }
            i += 3;
            unitStart = i;
        } else {
            ++i;
        }
    }
    if (unitStart < n)
        units.push_back(data.subspan(unitStart));
    return units;
}

int nalType(media::VideoCodec codec, std::span<const std::uint8_t> unit)
{
    if (unit.empty())
        return -1;
    return codec == media::VideoCodec::H265 ? (unit[0] >> 1) & 0x3f : unit[0] & 0x1f;
}

int ParameterSets::kindOf(std::span<const std::uint8_t> unit) const
{
    const int type = nalType(m_codec, unit);
    if (m_codec == media::VideoCodec::H265) {
        if (type == 32) return 0;
        if (type == 33) return 1;
        if (type == 34) return 2;
    } else {
        if (type == 7) return 1;
        if (type == 8) return 2;
    }
    return -1;
}

void ParameterSets::learn(std::span<const std::uint8_t> annexB)
{
    std::vector<std::vector<std::uint8_t>> found[3];
    for (const auto unit : annexBUnits(annexB)) {
        if (const int kind = kindOf(unit); kind >= 0)
            found[kind].emplace_back(unit.begin(), unit.end());
    }
    for (int kind = 0; kind < 3; ++kind) {
        if (!found[kind].empty())
            m_sets[kind] = std::move(found[kind]);
    }
}

bool ParameterSets::complete() const
{
    return (m_codec != media::VideoCodec::H265 || !m_sets[0].empty()) && !m_sets[1].empty() && !m_sets[2].empty();
}

std::vector<std::uint8_t> ParameterSets::keyFrame(std::span<const std::uint8_t> annexB)
{
    const auto units = annexBUnits(annexB);
    learn(annexB);
    if (units.empty())
        return {annexB.begin(), annexB.end()};
    const int delimiter = m_codec == media::VideoCodec::H265 ? 35 : 9;
    const std::size_t first = nalType(m_codec, units[0]) == delimiter ? 1 : 0;

    // Already right: after a delimiter, parameter sets of every kind lead.
    bool leading[3] = {m_codec != media::VideoCodec::H265, false, false};
    for (std::size_t i = first; i < units.size(); ++i) {
        const int kind = kindOf(units[i]);
        if (kind < 0)
            break;
        leading[kind] = true;
    }
    if (leading[0] && leading[1] && leading[2])
        return {annexB.begin(), annexB.end()};

    // Else: the delimiter, the newest parameter sets of every kind (the
    // frame's own, learned above, or earlier ones), then the frame's other
    // units in their order (SEI may have come before the sets: a muxer's
    // filter puts them just before the first slice).
    std::vector<std::uint8_t> out;
    out.reserve(annexB.size() + 256);
    if (first == 1)
        appendUnit(out, units[0]);
    for (const auto& kind : m_sets) {
        for (const auto& unit : kind)
            appendUnit(out, unit);
    }
    for (std::size_t i = first; i < units.size(); ++i) {
        if (kindOf(units[i]) < 0)
            appendUnit(out, units[i]);
    }
    return out;
}

}  // namespace velk::recorder
