// SPDX-License-Identifier: GPL-3.0-or-later
// Where a video window puts its view, and the texts of its statuses.
#include "preview/VideoStatus.h"
#include "preview/VideoViewLayout.h"
#include "widgets/LanguageTable.h"

#include <gtest/gtest.h>

using namespace preview;

TEST(VideoViewLayout, StretchFillsTheWindowInsideItsFrame)
{
    EXPECT_EQ(videoViewRect(QRect(0, 0, 322, 242), 0, 704, 576), QRect(1, 1, 320, 240));
    // Shape mode 1 without a known picture size stretches too.
    EXPECT_EQ(videoViewRect(QRect(0, 0, 322, 242), 1, 0, 0), QRect(1, 1, 320, 240));
}

TEST(VideoViewLayout, FieldPicturesCountAsFullFrames)
{
    EXPECT_EQ(effectivePictureHeight(704, 288), 576);
    EXPECT_EQ(effectivePictureHeight(704, 240), 480);
    EXPECT_EQ(effectivePictureHeight(352, 288), 288);
    // 704 x 288 in a 706 x 578 window: 704 x 576, not 704 x 288 stretched.
    EXPECT_EQ(videoViewRect(QRect(0, 0, 706, 578), 1, 704, 288), QRect(1, 1, 704, 576));
    // 704 x 240 in a 706 x 578 window: 704 x 480, centred vertically.
    EXPECT_EQ(videoViewRect(QRect(0, 0, 706, 578), 1, 704, 240), QRect(1, 49, 704, 480));
}

TEST(VideoViewLayout, KeepsProportionsCentred)
{
    // 640 x 480 area, a 16:9 picture: 640 x 360, 60 pixels above and below.
    EXPECT_EQ(videoViewRect(QRect(0, 0, 642, 482), 1, 1280, 720), QRect(1, 61, 640, 360));
    // A tall area, a 4:3 picture: full width, centred vertically.
    EXPECT_EQ(videoViewRect(QRect(0, 0, 302, 602), 1, 352, 288), QRect(1, 178, 300, 245));
}

TEST(VideoStatusText, KeysAndTheWindowNumber)
{
    LanguageTable language;
    EXPECT_EQ(statusText(kStatusIdle, 4, &language), QStringLiteral("5"));
    EXPECT_EQ(statusText(kStatusOpening, 0, &language), QStringLiteral("Opening"));
    EXPECT_EQ(statusText(kStatusDeviceOffline, 0, &language), QStringLiteral("DVR offline"));
    EXPECT_EQ(statusText(kStatusSubstreamNotEncoded, 0, &language), QStringLiteral("Sub-stream no encode!"));
    EXPECT_EQ(statusText(kStatusReconnecting, 0, &language), QStringLiteral("Re-connecting..."));
    EXPECT_TRUE(statusText(kStatusShowing, 0, &language).isEmpty());
    EXPECT_TRUE(statusText(10, 0, &language).isEmpty());
    // Looked up when drawn: a replaced text shows at once.
    ASSERT_TRUE(language.replace(QStringLiteral("IE_Open"), QStringLiteral("Wird geöffnet")));
    EXPECT_EQ(statusText(kStatusOpening, 0, &language), QStringLiteral("Wird geöffnet"));
}
