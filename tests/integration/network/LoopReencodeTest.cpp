// SPDX-License-Identifier: GPL-3.0-or-later
// The media library encoding a channel's loops again after its overlay
// changed, in-process: only that channel's loops, changes during an
// encoding coalesced into one more, the newest overlay in the end, old
// loops (as the generated history holds them) unchanged, and pictures that
// a decoder shows with the masks.
#include "PictureDecoder.h"

#include "MediaLibrary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace velk::recorder;
using nettest::DecodedPicture;
using nettest::PictureDecoder;

namespace {

bool waitFor(const std::function<bool()>& condition, int timeoutMs = 30000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

Json::Value statusOf(const MediaLibrary& media, std::uint32_t channel, std::uint32_t type)
{
    for (const auto& s : media.status())
        if (s["channel"].asUInt() == channel && s["streamType"].asUInt() == type)
            return s;
    return Json::Value();
}

// The loop's pictures decoded up to index (from picture 0, a key picture).
DecodedPicture decodeUpTo(const EncodedLoop& loop, std::size_t index)
{
    PictureDecoder decoder;
    for (std::size_t i = 0; i <= index; ++i)
        decoder.decode(loop.picture(i).annexB);
    EXPECT_EQ(decoder.errors(), 0);
    return decoder.last();
}

double meanOf(const DecodedPicture& p, int x, int y, int w, int h)
{
    return p.meanLuma(x * p.width / 704 + 2, y * p.height / 576 + 2, w * p.width / 704 - 4, h * p.height / 576 - 4);
}

OverlaySettings withMask(std::uint32_t channel, OverlayRect mask)
{
    OverlaySettings s = OverlaySettings::defaults(channel);
    s.masks.push_back(mask);
    return s;
}

}  // namespace

TEST(LoopReencode, OnlyTheChangedChannelAndChangesMeanwhileCoalesce)
{
    MediaLibrary media(2);
    if (!media.canEncode())
        GTEST_SKIP() << "no H.264 encoder";
    const auto main0 = media.loop(0, 0);
    const auto sub0 = media.loop(0, 1);
    const auto main1 = media.loop(1, 0);
    ASSERT_TRUE(waitFor([&] { return main0->complete() && sub0->complete() && main1->complete(); }));

    // Motion cells alone change no picture.
    OverlaySettings motionOnly = OverlaySettings::defaults(0);
    motionOnly.motion.set(80);
    EXPECT_FALSE(media.setOverlay(0, motionOnly));
    EXPECT_FALSE(statusOf(media, 0, 0)["reencoding"].asBool());

    // Three changes at once: one encoding now, one more with the newest
    // overlay after it; nothing for channel 1.
    const OverlayRect first{0, 0, 100, 100}, second{100, 100, 100, 100}, last{400, 300, 160, 120};
    EXPECT_TRUE(media.setOverlay(0, withMask(0, first)));
    EXPECT_TRUE(media.setOverlay(0, withMask(0, second)));
    EXPECT_TRUE(media.setOverlay(0, withMask(0, last)));
    EXPECT_TRUE(statusOf(media, 0, 0)["reencoding"].asBool());
    EXPECT_FALSE(statusOf(media, 1, 0)["reencoding"].asBool());
    ASSERT_TRUE(waitFor([&] {
        return statusOf(media, 0, 0)["reencodes"].asUInt64() == 2 && statusOf(media, 0, 1)["reencodes"].asUInt64() == 2 &&
               !statusOf(media, 0, 0)["reencoding"].asBool() && !statusOf(media, 0, 1)["reencoding"].asBool();
    }));
    EXPECT_EQ(statusOf(media, 1, 0)["reencodes"].asUInt64(), 0u);
    EXPECT_EQ(media.loop(1, 0), main1);

    // The newest loops show the last mask; the loops handed out before are
    // as they were (the history plays those).
    const auto newMain = media.loop(0, 0);
    const auto newSub = media.loop(0, 1);
    ASSERT_NE(newMain, main0);
    ASSERT_TRUE(newMain->complete() && newSub->complete());
    EXPECT_EQ(newMain->frameCount(), main0->frameCount());
    for (std::size_t i = 0; i < newMain->frameCount(); ++i)
        ASSERT_EQ(newMain->picture(i).key, main0->picture(i).key) << i;  // key pictures at the same places
    for (const auto& loop : {newMain, newSub}) {
        const DecodedPicture p = decodeUpTo(*loop, 30);
        EXPECT_LT(meanOf(p, last.x, last.y, last.width, last.height), 22) << p.width;
        EXPECT_GT(meanOf(p, second.x, second.y, second.width, second.height), 40) << p.width;
    }
    const DecodedPicture old = decodeUpTo(*main0, 30);
    EXPECT_GT(meanOf(old, last.x, last.y, last.width, last.height), 40);

    // A loop made after the change shows it from the start.
    const auto type2 = media.loop(0, 2);
    ASSERT_TRUE(waitFor([&] { return type2->complete(); }));
    EXPECT_LT(meanOf(decodeUpTo(*type2, 0), last.x, last.y, last.width, last.height), 22);
    media.stop();
}

TEST(LoopReencode, AChangeWhileTheFirstEncodingRunsStillEndsWithTheNewestOverlay)
{
    MediaLibrary media(1);
    if (!media.canEncode())
        GTEST_SKIP() << "no H.264 encoder";
    const auto first = media.loop(3, 0);
    const OverlayRect mask{0, 0, 704, 576};
    EXPECT_TRUE(media.setOverlay(3, withMask(3, mask)));
    ASSERT_TRUE(waitFor([&] { return statusOf(media, 3, 0)["reencodes"].asUInt64() == 1; }));
    ASSERT_TRUE(waitFor([&] { return first->complete(); }));
    const auto now = media.loop(3, 0);
    ASSERT_NE(now, first);
    EXPECT_LT(meanOf(decodeUpTo(*now, 0), 0, 120, 704, 300), 22);
    EXPECT_GT(meanOf(decodeUpTo(*first, 0), 0, 120, 704, 300), 40);
}
