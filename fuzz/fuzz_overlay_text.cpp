// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay texts a page gives and reads back: the 64-digit motion cell
// text, privacy masks ("left_top_width_height"), on-screen text items
// ("count_x_y") and the on-screen text matrix (createOsdMatrix).
//
// Input: a sequence of operations, each an operation byte followed by its
// values, until the bytes run out. Mask and text item values pass the checks
// the control's automation methods make before they reach the overlay
// window (CVELK_DVRCtrlOverlay.cpp), so that only what a page can send
// arrives.
//
// Properties checked: an accepted motion text reads back as a text that is
// accepted again and reads back the same; read-back texts have the form the
// page parses (numbers joined by '_').
#include "FuzzCheck.h"
#include "QtFuzzApp.h"

#include "control/OsdMatrix.h"
#include "overlay/OverlayModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

overlay::OverlayModel& window()
{
    static overlay::OverlayModel* model = [] {
        qtFuzzApplication();
        auto* m = new overlay::OverlayModel;  // kept for the whole run
        m->setWindowSize(960, 540);
        return m;
    }();
    return *model;
}

bool isNumberList(const QString& text, int count)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+$"));
    const QStringList parts = text.split(QLatin1Char('_'));
    if (parts.size() != count)
        return false;
    for (const QString& part : parts)
        if (!number.match(part).hasMatch())
            return false;
    return true;
}

QString motionTextFrom(FuzzedDataProvider& input)
{
    if (input.ConsumeBool()) {
        // Mostly hexadecimal digits, so that whole texts get through.
        static const char kDigits[] = "0123456789ABCDEFabcdef_ ";
        const std::size_t length = input.ConsumeBool() ? 64 : input.ConsumeIntegralInRange<std::size_t>(0, 80);
        QString text;
        for (std::size_t i = 0; i < length; ++i)
            text += QLatin1Char(kDigits[input.ConsumeIntegralInRange<std::size_t>(0, sizeof kDigits - 2)]);
        return text;
    }
    return QString::fromUtf8(input.ConsumeRandomLengthString(160));
}

void setMotion(FuzzedDataProvider& input)
{
    overlay::OverlayModel& wnd = window();
    const QString before = wnd.motionText();
    const QString text = motionTextFrom(input);
    if (!wnd.setMotionText(text)) {
        FUZZ_CHECK(wnd.motionText() == before);
        return;
    }
    const QString shown = wnd.motionText();
    FUZZ_CHECK(shown.size() == overlay::kMotionTextChars);
    FUZZ_CHECK(wnd.setMotionText(shown));
    FUZZ_CHECK(wnd.motionText() == shown);
}

// SetOverlayShelterInitData's checks, then GetShelterData.
void setMask(FuzzedDataProvider& input)
{
    overlay::OverlayModel& wnd = window();
    const auto index = input.ConsumeIntegral<std::uint32_t>();
    const auto left = input.ConsumeIntegral<std::uint32_t>();
    const auto top = input.ConsumeIntegral<std::uint32_t>();
    const auto right = input.ConsumeIntegral<std::uint32_t>();
    const auto bottom = input.ConsumeIntegral<std::uint32_t>();
    const auto referenceWidth = input.ConsumeIntegral<std::uint32_t>();
    const auto referenceHeight = input.ConsumeIntegral<std::uint32_t>();
    const bool passes = index <= 4 && left <= 65535 && top <= 65535 && right <= 65535 && bottom <= 65535 &&
                        right >= left && bottom >= top;
    if (passes)
        wnd.setMask(index, static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                    static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom),
                    static_cast<std::int32_t>(referenceWidth), static_cast<std::int32_t>(referenceHeight));
    const auto asked = input.ConsumeIntegral<std::int32_t>();
    for (const std::int32_t i : {asked, -1, 0, 4, 5})
        FUZZ_CHECK(isNumberList(wnd.maskText(i), 4));
}

// SetOverlayOsdInitData's checks, then the text item read-back.
void setTextItem(FuzzedDataProvider& input)
{
    overlay::OverlayModel& wnd = window();
    const auto index = input.ConsumeIntegral<std::uint32_t>();
    const auto packedPair = input.ConsumeIntegral<std::uint32_t>();
    const auto visible = input.ConsumeIntegral<std::uint32_t>();
    const auto referenceWidth = input.ConsumeIntegral<std::uint32_t>();
    const auto referenceHeight = input.ConsumeIntegral<std::uint32_t>();
    const auto x = input.ConsumeIntegral<std::uint32_t>();
    const auto y = input.ConsumeIntegral<std::uint32_t>();
    const QString text = QString::fromUtf8(input.ConsumeRandomLengthString(64));
    if (index <= 2 && (visible == 0 || visible == 1))
        wnd.setTextItem(index, packedPair, text, visible == 1, static_cast<std::int32_t>(referenceWidth),
                        static_cast<std::int32_t>(referenceHeight), static_cast<std::int32_t>(x),
                        static_cast<std::int32_t>(y));
    for (std::uint32_t i = 0; i < 4; ++i)
        FUZZ_CHECK(isNumberList(wnd.textItemText(i), 3));
}

void osdMatrix(FuzzedDataProvider& input)
{
    const QString text = QString::fromUtf8(input.ConsumeRandomLengthString(512));
    const QString matrix = createOsdMatrix(text);
    (void)matrix.toUtf8();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    overlay::OverlayModel& wnd = window();
    wnd.reset(input.ConsumeIntegralInRange(0, 2), 704, 576);
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange(0, 6)) {
        case 0: setMotion(input); break;
        case 1: setMask(input); break;
        case 2: setTextItem(input); break;
        case 3: osdMatrix(input); break;
        case 4: wnd.setAlignPixels(input.ConsumeIntegral<std::uint16_t>()); break;
        case 5: wnd.clearOverlay(); break;
        default: wnd.reset(input.ConsumeIntegralInRange(0, 2), 704, 576); break;
        }
    }
    return 0;
}
