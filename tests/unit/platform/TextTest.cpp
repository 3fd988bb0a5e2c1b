// SPDX-License-Identifier: GPL-3.0-or-later
// UTF-8 / UTF-16 conversions and byte limits.
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

namespace {

TEST(Text, RoundTripsBetweenUtf16AndUtf8)
{
    const QString wide = QString::fromUtf8("Kan\xC3\xA1l \xE6\xB8\xA0\xE9\x81\x93 \xF0\x9F\x8E\xA5");
    const std::string narrow = toUtf8(wide);
    EXPECT_EQ(narrow, "Kan\xC3\xA1l \xE6\xB8\xA0\xE9\x81\x93 \xF0\x9F\x8E\xA5");
    EXPECT_EQ(fromUtf8(narrow), wide);
    EXPECT_EQ(fromUtf8(std::string_view("ab\0cd", 5)).size(), 5) << "the view's length counts, not a NUL";
    // A value that starts with U+FEFF keeps it: it is not a file's mark.
    const QString marked = QString(QChar(0xFEFF)) + QStringLiteral("[velk");
    EXPECT_EQ(fromUtf8(toUtf8(marked)), marked);
    EXPECT_EQ(fromUtf8("\xEF\xBB\xBF\xEF\xBB\xBF").size(), 2);
}

TEST(Text, FittingNeedsRoomForTheTerminator)
{
    const QString text = QString::fromUtf8("\xC3\xA9t\xC3\xA9");  // 5 bytes in UTF-8
    EXPECT_EQ(toUtf8Fitting(text, 6), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(toUtf8Fitting(text, 5), "");
    EXPECT_EQ(toUtf8Fitting(text, 0), "");
    EXPECT_EQ(toUtf8Fitting(QString(), 1), "");
}

TEST(Text, CopyTruncatedCutsOnlyBetweenCharacters)
{
    char buffer[8];
    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(copyTruncated("abc", buffer, sizeof buffer), 3u);
    EXPECT_STREQ(buffer, "abc");

    // "ab" then a 3-byte and a 4-byte character: 9 bytes.
    const std::string text = "ab\xE6\xB8\xA0\xF0\x9F\x8E\xA5";
    for (std::size_t size = 1; size <= 10; ++size) {
        std::vector<char> out(size, 'X');
        const std::size_t written = copyTruncated(text, out.data(), size);
        const std::size_t expected = size >= 10 ? 9 : size >= 6 ? 5 : size >= 3 ? 2 : size - 1;
        EXPECT_EQ(written, expected) << "buffer of " << size;
        EXPECT_EQ(out[written], '\0');
        EXPECT_EQ(std::string(out.data(), written), text.substr(0, expected));
    }
    EXPECT_EQ(copyTruncated("abc", buffer, 0), 0u);
    EXPECT_EQ(copyTruncated("abc", nullptr, 4), 0u);
}

}  // namespace
