// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlaySettings.h"

#include "SyntheticPicture.h"

#include <optional>

namespace velk::recorder {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A JSON integer (not 16.0, not "16") within [low, high].
std::optional<int> strictInt(const Json::Value& value, long long low, long long high)
{
    if (value.type() == Json::intValue) {
        const long long v = value.asInt64();
        if (v >= low && v <= high)
            return static_cast<int>(v);
    } else if (value.type() == Json::uintValue) {
        const unsigned long long v = value.asUInt64();
        if (v <= static_cast<unsigned long long>(high) && static_cast<long long>(v) >= low)
            return static_cast<int>(v);
    }
    return std::nullopt;
}

bool isInteger(const Json::Value& value)
{
    return value.type() == Json::intValue || value.type() == Json::uintValue;
}

// The characters (code points) of a UTF-8 text; nothing when it is not
// well-formed UTF-8 (stray or missing continuation bytes, overlong forms,
// surrogates, beyond U+10FFFF).
std::optional<std::size_t> characterCount(const std::string& text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size())
            return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = code << 6 | (next & 0x3F);
        }
        constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        i += length;
    }
    return count;
}

bool readMasks(const Json::Value& value, std::vector<OverlayRect>& masks, std::string& error)
{
    if (!value.isArray()) {
        error = "masks must be an array.";
        return false;
    }
    if (value.size() > kMaxMasks) {
        error = "At most 5 masks are allowed.";
        return false;
    }
    masks.clear();
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        const Json::Value& m = value[i];
        const std::string which = "Mask " + std::to_string(i);
        if (!m.isObject()) {
            error = which + " must be an object.";
            return false;
        }
        const char* names[] = {"x", "y", "width", "height"};
        for (const char* name : names) {
            if (!m.isMember(name) || !isInteger(m[name])) {
                error = which + " needs an integer " + name + ".";
                return false;
            }
        }
        const auto x = strictInt(m["x"], 0, kOverlayWidth - 1);
        const auto y = strictInt(m["y"], 0, kOverlayHeight - 1);
        const auto width = strictInt(m["width"], 1, kOverlayWidth);
        const auto height = strictInt(m["height"], 1, kOverlayHeight);
        if (!x || !y || !width || !height || *x + *width > kOverlayWidth || *y + *height > kOverlayHeight) {
            error = which + " must lie within the 704 x 576 picture with a width and height of at least 1.";
            return false;
        }
        masks.push_back(OverlayRect{*x, *y, *width, *height});
    }
    return true;
}

bool readOsd(const Json::Value& value, std::array<OsdItem, kOsdItems>& items, std::string& error)
{
    if (!value.isArray()) {
        error = "osd must be an array.";
        return false;
    }
    std::array<bool, kOsdItems> seen{};
    for (Json::ArrayIndex i = 0; i < value.size(); ++i) {
        const Json::Value& item = value[i];
        if (!item.isObject()) {
            error = "Every osd item must be an object.";
            return false;
        }
        const auto index = item.isMember("index") ? strictInt(item["index"], 0, kOsdItems - 1) : std::nullopt;
        if (!index) {
            error = "An osd index must be 0, 1 or 2.";
            return false;
        }
        if (seen[*index]) {
            error = "osd index " + std::to_string(*index) + " is given twice.";
            return false;
        }
        seen[*index] = true;
        OsdItem& target = items[*index];
        const std::string which = "osd item " + std::to_string(*index);
        if (item.isMember("text")) {
            if (!item["text"].isString()) {
                error = "The text of " + which + " must be a string.";
                return false;
            }
            const std::string text = item["text"].asString();
            const std::optional<std::size_t> characters = characterCount(text);
            if (!characters) {
                error = "The text of " + which + " is not valid UTF-8.";
                return false;
            }
            if (*characters > kMaxOsdTextChars) {
                error = "The text of " + which + " is longer than 32 characters.";
                return false;
            }
            target.text = text;
        }
        if (item.isMember("x")) {
            const auto x = strictInt(item["x"], 0, kOverlayWidth - 1);
            if (!x) {
                error = "The x of " + which + " must be an integer from 0 to 703.";
                return false;
            }
            target.x = *x;
        }
        if (item.isMember("y")) {
            const auto y = strictInt(item["y"], 0, kOverlayHeight - 1);
            if (!y) {
                error = "The y of " + which + " must be an integer from 0 to 575.";
                return false;
            }
            target.y = *y;
        }
        if (item.isMember("visible")) {
            if (!item["visible"].isBool()) {
                error = "visible of " + which + " must be true or false.";
                return false;
            }
            target.visible = item["visible"].asBool();
        }
    }
    return true;
}

}  // namespace

std::string motionText(const MotionCells& cells)
{
    std::string text;
    text.reserve(64);
    for (int byte = 0; byte < 32; ++byte) {
        unsigned value = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const int cell = byte * 8 + bit;
            if (cell < kMotionCells && cells.test(std::size_t(cell)))
                value |= 1u << bit;
        }
        text += kHexDigits[value >> 4];
        text += kHexDigits[value & 15];
    }
    return text;
}

bool parseMotionText(const std::string& text, MotionCells& cells)
{
    if (text.size() != 64)
        return false;
    MotionCells parsed;
    for (int byte = 0; byte < 32; ++byte) {
        unsigned value = 0;
        for (int d = 0; d < 2; ++d) {
            const char c = text[std::size_t(byte * 2 + d)];
            unsigned digit = 0;
            if (c >= '0' && c <= '9')
                digit = unsigned(c - '0');
            else if (c >= 'A' && c <= 'F')
                digit = unsigned(c - 'A' + 10);
            else
                return false;
            value = value * 16 + digit;
        }
        for (int bit = 0; bit < 8; ++bit) {
            if (!(value & (1u << bit)))
                continue;
            const int cell = byte * 8 + bit;
            if (cell >= kMotionCells)
                return false;
            parsed.set(std::size_t(cell));
        }
    }
    cells = parsed;
    return true;
}

OverlayRect motionCellRect(int index)
{
    const int row = index / kMotionColumns;
    const int column = index % kMotionColumns;
    // Pixel x is in column k when k·704/15 ≤ x < (k+1)·704/15.
    const int left = (column * kOverlayWidth + kMotionColumns - 1) / kMotionColumns;
    const int right = ((column + 1) * kOverlayWidth + kMotionColumns - 1) / kMotionColumns;
    const int cellHeight = kOverlayHeight / kMotionRows;
    return OverlayRect{left, row * cellHeight, right - left, cellHeight};
}

OverlaySettings OverlaySettings::defaults(std::uint32_t channel)
{
    OverlaySettings s;
    const auto layout = SyntheticPicture::defaultLayout();
    s.osd[0] = OsdItem{SyntheticPicture::channelText(channel), layout[0].x, layout[0].y, true};
    s.osd[1] = OsdItem{"", layout[1].x, layout[1].y, true};
    s.osd[2] = OsdItem{"", layout[2].x, layout[2].y, false};
    return s;
}

Json::Value OverlaySettings::toJson(std::uint32_t channel) const
{
    Json::Value v(Json::objectValue);
    v["channel"] = channel;
    v["width"] = kOverlayWidth;
    v["height"] = kOverlayHeight;
    v["motion"] = motionText(motion);
    Json::Value maskList(Json::arrayValue);
    for (const OverlayRect& m : masks) {
        Json::Value r(Json::objectValue);
        r["x"] = m.x;
        r["y"] = m.y;
        r["width"] = m.width;
        r["height"] = m.height;
        maskList.append(r);
    }
    v["masks"] = maskList;
    Json::Value items(Json::arrayValue);
    for (std::size_t i = 0; i < osd.size(); ++i) {
        Json::Value item(Json::objectValue);
        item["index"] = Json::UInt(i);
        item["text"] = osd[i].text;
        item["x"] = osd[i].x;
        item["y"] = osd[i].y;
        item["visible"] = osd[i].visible;
        items.append(item);
    }
    v["osd"] = items;
    return v;
}

bool OverlaySettings::apply(const Json::Value& patch, std::string& error)
{
    if (!patch.isObject()) {
        error = "The overlay must be a JSON object.";
        return false;
    }
    OverlaySettings next = *this;
    if (patch.isMember("motion")) {
        if (!patch["motion"].isString() || !parseMotionText(patch["motion"].asString(), next.motion)) {
            error = "motion must be 64 hex digits 0-9A-F with no cell past 179 set.";
            return false;
        }
    }
    if (patch.isMember("masks") && !readMasks(patch["masks"], next.masks, error))
        return false;
    if (patch.isMember("osd") && !readOsd(patch["osd"], next.osd, error))
        return false;
    *this = std::move(next);
    return true;
}

}  // namespace velk::recorder
