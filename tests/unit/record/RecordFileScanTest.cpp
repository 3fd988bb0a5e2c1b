// SPDX-License-Identifier: GPL-3.0-or-later
// The record file's header (layout, parsing) and the bounded scans that
// fill it in and read files back.
#include "RecordTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace recordfile;
using recordtest::FileBuilder;
using recordtest::frame;

namespace {

std::optional<HeaderTime> firstOf(const FileBuilder& file)
{
    MemorySource source(file.bytes());
    return scanFirstTime(source);
}

std::optional<HeaderTime> lastOf(const FileBuilder& file)
{
    MemorySource source(file.bytes());
    return scanLastTime(source);
}

ContainerSummary walkOf(const std::vector<std::uint8_t>& bytes)
{
    MemorySource source(bytes);
    return walkContainer(source);
}

HeaderTime at(std::uint32_t seconds, std::uint16_t milliseconds = 0)
{
    return {seconds, milliseconds};
}

}  // namespace

TEST(RecordHeader, HoldsTheTimesTheFixedFieldsAndTheChannelAndNothingElse)
{
    const HeaderBytes header = buildHeader({at(0x11223344, 0x0555), at(0x11223350, 0x0666), 0});
    EXPECT_EQ(std::vector<std::uint8_t>(header.begin() + 37, header.begin() + 49),
              (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11, 0x55, 0x05, 0x50, 0x33, 0x22, 0x11, 0x66, 0x06}));
    EXPECT_EQ(header[50], 1);
    EXPECT_EQ(header[72], 0x00);
    EXPECT_EQ(header[73], 0x02);
    EXPECT_EQ(header[76], 0x01);
    EXPECT_EQ(header[77], 0x12);
    const std::uint8_t name[] = {'I', 0, 'P', 0, 'C', 0, 'A', 0, 'M', 0, 'B', 0};
    EXPECT_TRUE(std::equal(std::begin(name), std::end(name), header.begin() + 80));
    EXPECT_EQ(header[100], 1);
    // 12 time bytes, 1 + 1 + 2 fixed bytes, 6 letters, the channel byte.
    EXPECT_EQ(std::count_if(header.begin(), header.end(), [](std::uint8_t b) { return b != 0; }), 12 + 4 + 6 + 1);
}

TEST(RecordHeader, ChannelByteGoesToItsPlaceAndReadsBack)
{
    for (const auto& [channel, offset] : {std::pair{0, 100}, {5, 140}, {7, 220}, {15, 220}}) {
        const HeaderBytes header = buildHeader({std::nullopt, std::nullopt, channel});
        EXPECT_EQ(header[static_cast<std::size_t>(offset)], channel + 1) << channel;
        const ParsedHeader parsed = parseHeader(header);
        EXPECT_EQ(parsed.state, HeaderState::Valid) << parsed.problem;
        EXPECT_EQ(parsed.channel, channel);
        EXPECT_EQ(parsed.firstTime, at(0));  // a time not found stays 0
    }
}

TEST(RecordHeader, AllZeroIsMissingAndAnythingBrokenIsInvalid)
{
    const HeaderBytes zero{};
    EXPECT_EQ(parseHeader(zero).state, HeaderState::Missing);
    const HeaderBytes good = buildHeader({at(5), at(6), 2});
    EXPECT_EQ(parseHeader(std::span(good).first(300)).state, HeaderState::Invalid);
    for (std::size_t offset : {50u, 72u, 76u, 84u}) {
        HeaderBytes broken = good;
        broken[offset] ^= 0x40;
        EXPECT_EQ(parseHeader(broken).state, HeaderState::Invalid) << offset;
    }
    HeaderBytes misplaced = good;
    misplaced[180] = 0;
    misplaced[100] = 3;  // channel 2 belongs at 180
    EXPECT_EQ(parseHeader(misplaced).state, HeaderState::Invalid);
}

TEST(RecordHeader, TwoChannelBytesMakeTheHeaderInvalidWithoutPickingOne)
{
    // Each byte sits at its own channel's place, so either alone would be
    // valid: together the file names two channels and neither is trusted.
    for (const auto& [first, second] : {std::pair{0, 1}, {2, 7}, {4, 15}, {12, 13}, {1, 0}}) {
        HeaderBytes header = buildHeader({at(5), at(6), first});
        const HeaderBytes other = buildHeader({at(5), at(6), second});
        const std::size_t place = 100 + 40 * static_cast<std::size_t>(second % 4);
        header[place] = other[place];
        const ParsedHeader parsed = parseHeader(header);
        EXPECT_EQ(parsed.state, HeaderState::Invalid) << first << " " << second;
        EXPECT_EQ(parsed.problem, "more than one channel byte is set") << first << " " << second;
        EXPECT_EQ(parsed.channel, -1) << first << " " << second;
    }
    HeaderBytes all = buildHeader({at(5), at(6), 0});
    for (std::size_t slot = 1; slot < 4; ++slot)
        all[100 + 40 * slot] = static_cast<std::uint8_t>(slot + 1);
    EXPECT_EQ(parseHeader(all).channel, -1);
    EXPECT_EQ(parseHeader(all).state, HeaderState::Invalid);
}

TEST(HeaderScan, SmallFileTakesItsFirstFrameForBothTimes)
{
    FileBuilder file;
    for (std::uint32_t i = 0; i < 5; ++i)
        file.append(frame(100 + i, 10 * i));
    EXPECT_EQ(firstOf(file), at(100));
    // The nearest window before the end is the whole file.
    EXPECT_EQ(lastOf(file), at(100));
}

TEST(HeaderScan, KeepsTheLow16BitsOfTheMilliseconds)
{
    FileBuilder file;
    file.append(frame(42, 0x12345));
    EXPECT_EQ(firstOf(file), at(42, 0x2345));
}

TEST(HeaderScan, FrameRunningPastTheFirstWindowIsSkipped)
{
    FileBuilder file;
    file.at(9000, frame(1, 0, 2000)).append(frame(2, 0));
    EXPECT_EQ(firstOf(file), at(2));
}

TEST(HeaderScan, WindowsOverlapByTwelveBytes)
{
    FileBuilder startsInOverlap;
    startsInOverlap.at(9988, frame(7, 0));
    EXPECT_EQ(firstOf(startsInOverlap), at(7));

    // One byte earlier the frame begins in window 0 but does not fit there,
    // and window 1 starts after its first byte.
    FileBuilder startsBefore;
    startsBefore.at(9987, frame(8, 0)).append(frame(9, 0));
    EXPECT_EQ(firstOf(startsBefore), at(9));

    FileBuilder thirdWindow;
    thirdWindow.at(2 * 10000 - 12, frame(11, 0));
    EXPECT_EQ(firstOf(thirdWindow), at(11));
}

TEST(HeaderScan, FrameWithoutTimeEndsTheScanWithoutATime)
{
    FileBuilder file;
    file.append(frame(0, 0, 100, false)).append(frame(5, 0));
    EXPECT_EQ(firstOf(file), std::nullopt);
    EXPECT_EQ(lastOf(file), std::nullopt);
}

TEST(HeaderScan, LastTimeComesFromTheFirstFrameOfTheWindowBeforeTheEnd)
{
    FileBuilder file;
    for (std::uint32_t i = 0; i < 60; ++i)
        file.append(frame(1000 + i, 0, 1000));  // 1024 bytes each
    ASSERT_EQ(file.size(), 1024u + 60 * 1024);
    EXPECT_EQ(firstOf(file), at(1000));
    // The last window begins at 52464; frame 51 is the first to start in it.
    EXPECT_EQ(lastOf(file), at(1051));
}

TEST(HeaderScan, LastTimeGoesBackWindowByWindow)
{
    FileBuilder file;
    for (std::uint32_t i = 0; i < 20; ++i)
        file.append(frame(1000 + i, 0, 1000));
    file.padTo(file.size() + 15000);
    // Window 1 holds only zeros; window 2 starts at 16504, frame 16 at 17408.
    EXPECT_EQ(lastOf(file), at(1016));
}

TEST(HeaderScan, GarbageAndTinyFilesGiveNoTime)
{
    FileBuilder letters;
    letters.padTo(50000);
    std::vector<std::uint8_t> bytes(letters.bytes().size(), 0x41);
    MemorySource source(bytes);
    EXPECT_EQ(scanFirstTime(source), std::nullopt);
    EXPECT_EQ(scanLastTime(source), std::nullopt);

    // "2dc" everywhere, each claiming a frame far longer than a window.
    std::vector<std::uint8_t> claims;
    for (int i = 0; i < 8000; ++i)
        claims.insert(claims.end(), {0x01, '2', 'd', 'c', 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x01});
    MemorySource claimSource(claims);
    EXPECT_EQ(scanFirstTime(claimSource), std::nullopt);
    EXPECT_EQ(scanLastTime(claimSource), std::nullopt);

    for (std::size_t size : {0u, 5u, 12u, 13u, 1024u}) {
        const std::vector<std::uint8_t> tiny(size, 0);
        MemorySource tinySource(tiny);
        EXPECT_EQ(scanFirstTime(tinySource), std::nullopt) << size;
        EXPECT_EQ(scanLastTime(tinySource), std::nullopt) << size;
    }
}

TEST(ContainerWalk, ReportsWhereTheContainerBreaks)
{
    FileBuilder file;
    file.append(frame(1, 0)).append(frame(2, 0));
    const std::size_t secondFrame = 1024 + frame(1, 0).size();

    std::vector<std::uint8_t> cut = file.bytes();
    cut.resize(cut.size() - 10);
    ContainerSummary summary = walkOf(cut);
    EXPECT_EQ(summary.frames, 1u);
    EXPECT_EQ(summary.errorOffset, secondFrame);

    std::vector<std::uint8_t> junk = file.bytes();
    junk.insert(junk.begin() + static_cast<std::ptrdiff_t>(secondFrame), {9, 9, 9});
    summary = walkOf(junk);
    EXPECT_EQ(summary.errorOffset, secondFrame);

    std::vector<std::uint8_t> badItem = file.bytes();
    badItem[1024 + 12 + 1] = 0xFF;  // the time item claims to be longer than its frame
    summary = walkOf(badItem);
    EXPECT_EQ(summary.errorOffset, 1024u);

    summary = walkOf(std::vector<std::uint8_t>(500, 0));
    EXPECT_EQ(summary.errorOffset, 500u);
    // A header with no data after it is a clean, empty recording.
    summary = walkOf(std::vector<std::uint8_t>(1024, 0));
    EXPECT_FALSE(summary.errorOffset.has_value());
    EXPECT_EQ(summary.frames, 0u);
}
