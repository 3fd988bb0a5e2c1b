// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's overlay documents: the body of PUT /api/overlay (read as
// the route reads it) and, alike, a stored channel file.
//
// Input: the body text.
//
// Properties checked: a refused body changes nothing and says why; an
// accepted body leaves settings within the rules (at most five masks inside
// the picture, motion bits only for the 180 cells, texts of at most 32
// characters), and the document they give is accepted again and gives the
// same settings.
#include "FuzzCheck.h"

#include "proto/JsonText.h"
#include "recorder/OverlaySettings.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using velk::recorder::OverlaySettings;

namespace {

void checkRules(const OverlaySettings& settings)
{
    FUZZ_CHECK(settings.masks.size() <= 5);
    for (const auto& mask : settings.masks) {
        FUZZ_CHECK(mask.x >= 0 && mask.y >= 0 && mask.width >= 1 && mask.height >= 1);
        FUZZ_CHECK(mask.x + mask.width <= 704 && mask.y + mask.height <= 576);
    }
    velk::recorder::MotionCells cells{};
    FUZZ_CHECK(velk::recorder::parseMotionText(velk::recorder::motionText(settings.motion), cells));
    FUZZ_CHECK(cells == settings.motion);
    for (const auto& item : settings.osd)
        FUZZ_CHECK(item.text.size() <= 32 * 4);  // 32 characters of UTF-8
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string body(reinterpret_cast<const char*>(data), size);
    Json::Value patch;
    std::string parseError;
    if (!velk::proto::parseJsonObject(body, patch, &parseError))
        return 0;

    const OverlaySettings before = OverlaySettings::defaults(2);
    OverlaySettings settings = before;
    std::string error;
    if (!settings.apply(patch, error)) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(settings == before);
        return 0;
    }
    checkRules(settings);

    // What GET answers (and what is stored) is taken again as it is.
    OverlaySettings again = OverlaySettings::defaults(2);
    std::string againError;
    FUZZ_CHECK(again.apply(settings.toJson(2), againError));
    FUZZ_CHECK(again == settings);
    return 0;
}
