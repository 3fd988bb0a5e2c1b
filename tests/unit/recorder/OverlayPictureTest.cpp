// SPDX-License-Identifier: GPL-3.0-or-later
// The synthetic picture with a channel's overlay, pixel by pixel: privacy
// masks black in every stream size (edges, odd sizes, the whole picture),
// the texts where the items put them (moved, hidden), and the moving
// square's motion cells against the pixels drawn.
#include "BitmapFont.h"
#include "MotionPath.h"
#include "OverlaySettings.h"
#include "SyntheticPicture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velk::recorder;

namespace {

constexpr std::uint8_t kBlack = 16;
constexpr std::uint8_t kText = 235;
constexpr std::uint8_t kSquare = 220;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y, cb, cr;
    std::uint8_t luma(int x, int row) const { return y[std::size_t(row) * width + x]; }
    std::uint8_t blue(int x, int row) const { return cb[std::size_t(row / 2) * (width / 2) + x / 2]; }
    std::uint8_t red(int x, int row) const { return cr[std::size_t(row / 2) * (width / 2) + x / 2]; }
    // Whether any pixel of the rectangle (clipped) has this luma.
    bool anyLuma(int x, int top, int w, int h, std::uint8_t value) const
    {
        for (int row = std::max(top, 0); row < std::min(top + h, height); ++row)
            for (int col = std::max(x, 0); col < std::min(x + w, width); ++col)
                if (luma(col, row) == value)
                    return true;
        return false;
    }
};

Picture draw(std::uint32_t channel, std::uint32_t streamType, const OverlaySettings& overlay, std::size_t index = 0)
{
    const StreamProfile profile = *streamProfile(streamType);
    Picture p;
    p.width = profile.width;
    p.height = profile.height;
    p.y.resize(std::size_t(p.width) * p.height);
    p.cb.resize(std::size_t(p.width / 2) * (p.height / 2));
    p.cr.resize(p.cb.size());
    const SyntheticPicture picture(channel, profile, 250, overlay);
    picture.draw(index, Plane{p.y.data(), p.width, p.width, p.height},
                 Plane{p.cb.data(), p.width / 2, p.width / 2, p.height / 2},
                 Plane{p.cr.data(), p.width / 2, p.width / 2, p.height / 2});
    return p;
}

// The mask's pixels in a stream of this size: at least the rectangle scaled.
void expectMaskBlack(const Picture& p, const OverlayRect& mask, const std::string& what)
{
    const int left = mask.x * p.width / 704;
    const int top = mask.y * p.height / 576;
    const int right = (mask.x + mask.width) * p.width / 704;
    const int bottom = (mask.y + mask.height) * p.height / 576;
    int wrong = 0;
    for (int row = top; row < std::max(bottom, top + 1); ++row)
        for (int x = left; x < std::max(right, left + 1); ++x)
            if (p.luma(x, row) != kBlack || p.blue(x, row) != 128 || p.red(x, row) != 128)
                ++wrong;
    EXPECT_EQ(wrong, 0) << what;
}

OverlaySettings withoutTexts(std::uint32_t channel)
{
    OverlaySettings s = OverlaySettings::defaults(channel);
    for (OsdItem& item : s.osd)
        item.visible = false;
    return s;
}

}  // namespace

TEST(OverlayPicture, MasksAreBlackInEveryStreamSize)
{
    const std::vector<std::vector<OverlayRect>> cases = {
        {{16, 32, 120, 80}},
        {{0, 0, 704, 576}},                                        // the whole picture
        {{0, 0, 1, 1}, {703, 575, 1, 1}, {0, 575, 704, 1}},        // corners and the last row
        {{701, 3, 3, 573}, {1, 1, 7, 5}, {333, 271, 37, 35}},      // odd sizes at odd places, right edge
        {{10, 10, 50, 50}, {40, 40, 50, 50}, {300, 200, 5, 5}, {600, 500, 104, 76}, {0, 288, 704, 1}},  // five
    };
    for (const auto& masks : cases) {
        for (const std::uint32_t type : {0u, 1u, 2u}) {
            OverlaySettings overlay = withoutTexts(3);
            overlay.masks = masks;
            const Picture before = draw(3, type, withoutTexts(3));
            const Picture after = draw(3, type, overlay);
            for (const OverlayRect& mask : masks) {
                const std::string what = "type " + std::to_string(type) + " mask " + std::to_string(mask.x) + "," +
                                         std::to_string(mask.y) + " " + std::to_string(mask.width) + "x" +
                                         std::to_string(mask.height);
                expectMaskBlack(after, mask, what);
                // Not black before: the gradient is never that dark.
                const int x = mask.x * before.width / 704;
                const int y = mask.y * before.height / 576;
                EXPECT_NE(before.luma(x, y), kBlack) << what;
            }
        }
    }
    // Outside the masks the picture is as it was.
    OverlaySettings overlay = withoutTexts(0);
    overlay.masks = {{100, 100, 50, 50}};
    const Picture before = draw(0, 0, withoutTexts(0));
    const Picture after = draw(0, 0, overlay);
    EXPECT_EQ(after.luma(99, 99), before.luma(99, 99));
    EXPECT_EQ(after.luma(150, 150), before.luma(150, 150));
    EXPECT_EQ(after.luma(99, 120), before.luma(99, 120));
}

TEST(OverlayPicture, MasksHideTheSquareButNotTheTexts)
{
    OverlaySettings overlay = OverlaySettings::defaults(0);
    overlay.masks = {{0, 0, 704, 576}};
    const Picture p = draw(0, 0, overlay, 60);
    EXPECT_FALSE(p.anyLuma(0, 0, 704, 576, kSquare));
    EXPECT_TRUE(p.anyLuma(16, 8, 100, 56, kText));     // the channel name
    EXPECT_TRUE(p.anyLuma(16, 504, 300, 56, kText));   // the clock
}

TEST(OverlayPicture, TextsStandWhereTheItemsSay)
{
    // The defaults are where the pictures have always shown their texts.
    const Picture defaults = draw(5, 0, OverlaySettings::defaults(5));
    EXPECT_TRUE(defaults.anyLuma(16, 8, 100, 56, kText));
    EXPECT_TRUE(defaults.anyLuma(16, 504, 300, 56, kText));
    EXPECT_FALSE(defaults.anyLuma(16, 432, 300, 56, kText));  // no title

    struct Case {
        std::uint32_t type;
        int x, y;
    };
    for (const Case c : {Case{0, 400, 300}, Case{1, 400, 300}, Case{0, 640, 560}, Case{2, 96, 200},
                         Case{0, 0, 0}}) {
        OverlaySettings moved = OverlaySettings::defaults(5);
        moved.osd[0].x = c.x;
        moved.osd[0].y = c.y;
        moved.osd[1].visible = false;
        moved.osd[2] = OsdItem{"Gate", 200, 100, true};
        const Picture p = draw(5, c.type, moved);
        const int sx = c.x * p.width / 704;
        const int sy = c.y * p.height / 576;
        const int scale = std::max(1, p.width / 176);
        const std::string what = "type " + std::to_string(c.type) + " at " + std::to_string(c.x) + "," +
                                 std::to_string(c.y);
        // "CH06" at twice the scale from the item's place, then nothing left
        // of or above it but its box.
        EXPECT_TRUE(p.anyLuma(sx, sy, textWidth("CH06", 2 * scale), 7 * 2 * scale, kText)) << what;
        if (c.x > 120 || c.y > 80) {
            EXPECT_FALSE(p.anyLuma(0, 0, 24 * scale, 14 * scale, kText)) << what << ": still at the old place";
        }
        // The clock is hidden; the title stands at its place.
        EXPECT_FALSE(p.anyLuma(0, 504 * p.height / 576, 60 * scale, 14 * scale, kText)) << what;
        EXPECT_TRUE(p.anyLuma(200 * p.width / 704, 100 * p.height / 576, textWidth("GATE", 2 * scale), 14 * scale,
                              kText))
            << what;
    }

    // A visible title without text draws nothing, nor does a hidden one.
    OverlaySettings empty = withoutTexts(5);
    empty.osd[2] = OsdItem{"", 300, 300, true};
    EXPECT_FALSE(draw(5, 0, empty).anyLuma(0, 0, 704, 576, kText));
    empty.osd[2] = OsdItem{"HIDDEN", 300, 300, false};
    EXPECT_FALSE(draw(5, 0, empty).anyLuma(0, 0, 704, 576, kText));
    empty.osd[2].visible = true;
    EXPECT_TRUE(draw(5, 0, empty).anyLuma(300, 300, 400, 56, kText));
}

TEST(OverlayPicture, SmallLettersAreDrawnAsCapitals)
{
    std::vector<std::uint8_t> upper(40 * 8, 0), lower(40 * 8, 0);
    drawText(Plane{upper.data(), 40, 40, 8}, 0, 0, 1, "GATE WQZ", 200);
    drawText(Plane{lower.data(), 40, 40, 8}, 0, 0, 1, "gate wqz", 200);
    EXPECT_EQ(upper, lower);
    EXPECT_NE(std::count(upper.begin(), upper.end(), 200), 0);
}

TEST(MotionPath, CellsAreThoseTheSquareIsDrawnIn)
{
    const MotionPath path(250);
    ASSERT_EQ(path.frameCount(), 250u);
    MotionCells everVisited;
    for (std::size_t i = 0; i < 250; i += 7) {
        const Picture p = draw(0, 0, withoutTexts(0), i);
        MotionCells drawn;
        for (int row = 0; row < 576; ++row)
            for (int x = 0; x < 704; ++x)
                if (p.luma(x, row) == kSquare)
                    drawn.set(std::size_t(row / 48 * 15 + x * 15 / 704));
        EXPECT_EQ(path.cellsAt(i), drawn) << "picture " << i;
        everVisited |= drawn;
    }
    // The square glides along rows 4 to 7 from the left edge to the right.
    for (int cell = 0; cell < kMotionCells; ++cell) {
        const int row = cell / 15;
        EXPECT_EQ(everVisited.test(std::size_t(cell)), row >= 4 && row <= 7) << cell;
    }
    MotionCells topRow;
    for (int k = 0; k < 15; ++k)
        topRow.set(std::size_t(k));
    MotionCells leftEdge;
    leftEdge.set(5 * 15);
    for (std::size_t i = 0; i < 250; ++i)
        EXPECT_FALSE(path.moves(i, topRow));
    EXPECT_TRUE(path.moves(0, leftEdge));
    EXPECT_FALSE(path.moves(125, leftEdge));
    EXPECT_TRUE(path.moves(249, leftEdge));
}

TEST(MotionPath, CellsCoveringARectangle)
{
    EXPECT_EQ(cellsCovering({0, 0, 1, 1}).count(), 1u);
    EXPECT_TRUE(cellsCovering({0, 0, 1, 1}).test(0));
    EXPECT_EQ(cellsCovering({0, 0, 704, 576}).count(), 180u);
    EXPECT_EQ(cellsCovering({46, 47, 1, 2}), (cellsCovering({46, 47, 1, 1}) | cellsCovering({46, 48, 1, 1})));
    EXPECT_TRUE(cellsCovering({45, 0, 1, 1}).test(0));
    EXPECT_TRUE(cellsCovering({46, 0, 1, 1}).test(0));  // 704/15 = 46.9: pixel 46 is still column 0
    EXPECT_TRUE(cellsCovering({47, 0, 1, 1}).test(1));
    EXPECT_TRUE(cellsCovering({703, 575, 1, 1}).test(179));
}
