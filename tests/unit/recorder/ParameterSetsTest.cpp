// SPDX-License-Identifier: GPL-3.0-or-later
// Annex B units, and key frames given their parameter sets when a camera
// sent them only once or only in its session description.
#include "ParameterSets.h"

#include <gtest/gtest.h>

namespace velk::recorder {
namespace {

using Bytes = std::vector<std::uint8_t>;
using media::VideoCodec;

Bytes annexB(std::initializer_list<Bytes> units, bool shortCodes = false)
{
    Bytes out;
    for (const Bytes& unit : units) {
        if (!shortCodes)
            out.push_back(0);
        out.insert(out.end(), {0, 0, 1});
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

std::vector<int> types(VideoCodec codec, const Bytes& data)
{
    std::vector<int> out;
    for (const auto unit : annexBUnits(data))
        out.push_back(nalType(codec, unit));
    return out;
}

// H.264 units: header byte (type in the low 5 bits) and a little payload.
const Bytes kSps{0x67, 0x42, 0x00, 0x1f}, kPps{0x68, 0xce, 0x3c}, kIdr{0x65, 0x88, 0x84, 0x00, 0x10},
    kAud{0x09, 0xf0}, kSei{0x06, 0x05, 0x01};
// H.265 units: type in bits 1..6 of the first of two header bytes.
const Bytes kVps5{0x40, 0x01, 0x0c}, kSps5{0x42, 0x01, 0x01}, kPps5{0x44, 0x01, 0xc1}, kIdr5{0x26, 0x01, 0xaf},
    kAud5{0x46, 0x01, 0x50};

TEST(ParameterSets, SplitsUnitsOnThreeAndFourByteStartCodes)
{
    Bytes mixed = annexB({kSps, kPps}, true);
    const Bytes rest = annexB({kIdr});
    mixed.insert(mixed.end(), rest.begin(), rest.end());
    EXPECT_EQ(types(VideoCodec::H264, mixed), (std::vector<int>{7, 8, 5}));
    const auto units = annexBUnits(mixed);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(Bytes(units[2].begin(), units[2].end()), kIdr);  // its inner zero kept, no start code
    EXPECT_TRUE(annexBUnits({}).empty());
}

TEST(ParameterSets, PutsTheKnownSetsBeforeAKeyFrameThatLacksThem)
{
    ParameterSets sets(VideoCodec::H264);
    EXPECT_FALSE(sets.complete());
    const Bytes bare = annexB({kIdr});
    EXPECT_EQ(sets.keyFrame(bare), bare);  // nothing known yet: unchanged
    sets.learn(annexB({kSps, kPps}));      // the session description's sets
    EXPECT_TRUE(sets.complete());
    EXPECT_EQ(types(VideoCodec::H264, sets.keyFrame(bare)), (std::vector<int>{7, 8, 5}));
    // With an access unit delimiter, it stays first.
    EXPECT_EQ(types(VideoCodec::H264, sets.keyFrame(annexB({kAud, kSei, kIdr}))), (std::vector<int>{9, 7, 8, 6, 5}));
    // A key frame with its own sets is left as it is, and its sets are the ones used from now on.
    const Bytes newSps{0x67, 0x64, 0x00, 0x28};
    const Bytes complete = annexB({newSps, kPps, kIdr});
    EXPECT_EQ(sets.keyFrame(complete), complete);
    const Bytes given = sets.keyFrame(bare);
    const auto units = annexBUnits(given);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(Bytes(units[0].begin(), units[0].end()), newSps);
}

TEST(ParameterSets, H265NeedsAllThreeKinds)
{
    ParameterSets sets(VideoCodec::H265);
    sets.learn(annexB({kSps5, kPps5}));
    EXPECT_FALSE(sets.complete());  // no VPS
    sets.learn(annexB({kVps5}));
    EXPECT_TRUE(sets.complete());
    EXPECT_EQ(types(VideoCodec::H265, sets.keyFrame(annexB({kAud5, kIdr5}))), (std::vector<int>{35, 32, 33, 34, 19}));
    // A key frame with only some of them gets all of them before it, and
    // sets further in (after SEI, as a muxer's filter leaves them) move first.
    EXPECT_EQ(types(VideoCodec::H265, sets.keyFrame(annexB({kSps5, kIdr5}))), (std::vector<int>{32, 33, 34, 19}));
    const Bytes kSei5{0x4e, 0x01, 0x05};
    EXPECT_EQ(types(VideoCodec::H265, sets.keyFrame(annexB({kSei5, kVps5, kSps5, kPps5, kIdr5}))),
              (std::vector<int>{32, 33, 34, 39, 19}));
    EXPECT_EQ(types(VideoCodec::H264, ParameterSets(VideoCodec::H264).keyFrame(annexB({kSei, kSps, kPps, kIdr}))),
              (std::vector<int>{7, 8, 6, 5}));
    const Bytes complete = annexB({kVps5, kSps5, kPps5, kIdr5});
    EXPECT_EQ(sets.keyFrame(complete), complete);
}

}  // namespace
}  // namespace velk::recorder
