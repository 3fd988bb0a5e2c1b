// SPDX-License-Identifier: GPL-3.0-or-later
// A channel's overlay as the API and the stored files carry it: the motion
// text, the defaults, every rule of a PUT body (a refused one changes
// nothing), and the store's files (round trip, damaged files).
#include "OverlaySettings.h"
#include "OverlayStore.h"
#include "RecordingTestSupport.h"

#include "proto/JsonText.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace velk::recorder;
using recordingtest::TempFolder;

namespace {

Json::Value parse(const std::string& text)
{
    Json::Value v;
    EXPECT_TRUE(velk::proto::parseJsonObject(text, v)) << text;
    return v;
}

void writeText(const std::filesystem::path& file, const std::string& text)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

}  // namespace

TEST(OverlayMotionText, BitsMapToCellsLowestFirst)
{
    MotionCells cells;
    EXPECT_EQ(motionText(cells), std::string(64, '0'));
    cells.set(0);    // byte 0, bit 0
    cells.set(11);   // byte 1, bit 3
    cells.set(179);  // byte 22, bit 3: the last cell
    const std::string text = motionText(cells);
    EXPECT_EQ(text.substr(0, 4), "0108");
    EXPECT_EQ(text.substr(44, 2), "08");
    EXPECT_EQ(text.substr(46), std::string(18, '0'));
    MotionCells back;
    ASSERT_TRUE(parseMotionText(text, back));
    EXPECT_EQ(back, cells);

    // Every cell alone, round and back.
    for (int cell = 0; cell < kMotionCells; ++cell) {
        MotionCells one;
        one.set(std::size_t(cell));
        MotionCells parsed;
        ASSERT_TRUE(parseMotionText(motionText(one), parsed));
        EXPECT_EQ(parsed, one) << cell;
    }
}

TEST(OverlayMotionText, RefusesAnythingElse)
{
    MotionCells cells;
    cells.set(5);
    const MotionCells before = cells;
    const std::string zeros(64, '0');
    for (const std::string& bad : {std::string(63, '0'), std::string(65, '0'), std::string(""),
                                   "a" + zeros.substr(1),                  // lower case
                                   "G" + zeros.substr(1),                  // not hex
                                   " " + zeros.substr(1),                  //
                                   zeros.substr(0, 44) + "10" + zeros.substr(46),  // cell 180
                                   zeros.substr(0, 62) + "01"})            // cell 248
        EXPECT_FALSE(parseMotionText(bad, cells)) << bad;
    EXPECT_EQ(cells, before);
}

TEST(OverlayMotionText, CellRectanglesTileThePicture)
{
    // Column k holds the pixels x with k·704/15 ≤ x < (k+1)·704/15.
    EXPECT_EQ(motionCellRect(0), (OverlayRect{0, 0, 47, 48}));
    EXPECT_EQ(motionCellRect(1), (OverlayRect{47, 0, 47, 48}));
    EXPECT_EQ(motionCellRect(14), (OverlayRect{658, 0, 46, 48}));
    EXPECT_EQ(motionCellRect(179), (OverlayRect{658, 528, 46, 48}));
    for (int x = 0; x < 704; ++x) {
        const OverlayRect cell = motionCellRect(x * 15 / 704);
        EXPECT_TRUE(x >= cell.x && x < cell.x + cell.width) << x;
    }
    int area = 0;
    for (int i = 0; i < kMotionCells; ++i)
        area += motionCellRect(i).width * motionCellRect(i).height;
    EXPECT_EQ(area, 704 * 576);
}

TEST(OverlaySettings, DefaultsAndDocument)
{
    const OverlaySettings s = OverlaySettings::defaults(4);
    EXPECT_TRUE(s.motion.none());
    EXPECT_TRUE(s.masks.empty());
    EXPECT_EQ(s.osd[0], (OsdItem{"CH05", 16, 8, true}));
    EXPECT_EQ(s.osd[1], (OsdItem{"", 16, 504, true}));
    EXPECT_EQ(s.osd[2], (OsdItem{"", 16, 432, false}));
    const Json::Value doc = s.toJson(4);
    EXPECT_EQ(velk::proto::writeJson(doc),
              R"({"channel":4,"height":576,"masks":[],"motion":")" + std::string(64, '0') +
                  R"(","osd":[{"index":0,"text":"CH05","visible":true,"x":16,"y":8},)"
                  R"({"index":1,"text":"","visible":true,"x":16,"y":504},)"
                  R"({"index":2,"text":"","visible":false,"x":16,"y":432}],"width":704})");
    // The document read back gives the same settings.
    OverlaySettings back = OverlaySettings::defaults(0);
    std::string error;
    ASSERT_TRUE(back.apply(doc, error)) << error;
    EXPECT_EQ(back, s);
}

TEST(OverlaySettings, ApplyReplacesOnlyWhatIsGiven)
{
    OverlaySettings s = OverlaySettings::defaults(0);
    std::string error;
    ASSERT_TRUE(s.apply(parse(R"({"masks":[{"x":0,"y":0,"width":704,"height":576},{"x":703,"y":575,"width":1,"height":1},
                                 {"x":17,"y":33,"width":5,"height":7}]})"),
                        error))
        << error;
    ASSERT_EQ(s.masks.size(), 3u);
    EXPECT_EQ(s.masks[1], (OverlayRect{703, 575, 1, 1}));
    EXPECT_EQ(s.osd[0].text, "CH01");

    ASSERT_TRUE(s.apply(parse(R"({"osd":[{"index":2,"text":"Gate 7","visible":true},{"index":0,"x":400}]})"), error));
    EXPECT_EQ(s.osd[2], (OsdItem{"Gate 7", 16, 432, true}));
    EXPECT_EQ(s.osd[0], (OsdItem{"CH01", 400, 8, true}));
    EXPECT_EQ(s.osd[1], (OsdItem{"", 16, 504, true}));
    EXPECT_EQ(s.masks.size(), 3u);

    ASSERT_TRUE(s.apply(parse(R"({"masks":[],"motion":"F)" + std::string(63, '0') + R"("})"), error));
    EXPECT_TRUE(s.masks.empty());
    EXPECT_EQ(s.motion.count(), 4u);
    // 32 characters, counted as characters, not bytes.
    std::string umlauts;
    for (int i = 0; i < 32; ++i)
        umlauts += "\xC3\xBC";
    ASSERT_TRUE(s.apply(parse(R"({"osd":[{"index":2,"text":")" + umlauts + R"("}]})"), error)) << error;
    EXPECT_FALSE(s.apply(parse(R"({"osd":[{"index":2,"text":"x)" + umlauts + R"("}]})"), error));
    ASSERT_TRUE(s.apply(parse(R"({"osd":[{"index":2,"text":"\u20AC \uD83D\uDE00 \u0000"}]})"), error)) << error;
}

TEST(OverlaySettings, RefusedBodiesChangeNothing)
{
    OverlaySettings s = OverlaySettings::defaults(1);
    std::string error;
    ASSERT_TRUE(s.apply(parse(R"({"masks":[{"x":8,"y":8,"width":8,"height":8}],"motion":"01)" + std::string(62, '0') +
                              R"("})"),
                        error));
    const OverlaySettings before = s;
    const std::string mask = R"({"x":0,"y":0,"width":10,"height":10})";
    const char* bad[] = {
        R"({"motion":"0"})",
        R"({"motion":12})",
        R"({"motion":"000000000000000000000000000000000000000000001000000000000000000000"})",
        R"({"masks":{}})",
        R"({"masks":[1]})",
        R"({"masks":[{"x":0,"y":0,"width":0,"height":10}]})",
        R"({"masks":[{"x":0,"y":0,"width":10,"height":0}]})",
        R"({"masks":[{"x":-1,"y":0,"width":10,"height":10}]})",
        R"({"masks":[{"x":0,"y":-1,"width":10,"height":10}]})",
        R"({"masks":[{"x":695,"y":0,"width":10,"height":10}]})",
        R"({"masks":[{"x":0,"y":567,"width":10,"height":10}]})",
        R"({"masks":[{"x":0,"y":0,"width":705,"height":10}]})",
        R"({"masks":[{"x":1.5,"y":0,"width":10,"height":10}]})",
        R"({"masks":[{"x":1.0,"y":0,"width":10,"height":10}]})",
        R"({"masks":[{"x":"1","y":0,"width":10,"height":10}]})",
        R"({"masks":[{"y":0,"width":10,"height":10}]})",
        R"({"masks":[{"x":0,"y":0,"width":10,"height":4294967297}]})",
        R"({"osd":{}})",
        R"({"osd":[{"index":3}]})",
        R"({"osd":[{"index":-1}]})",
        R"({"osd":[{"x":5}]})",
        R"({"osd":[{"index":"1"}]})",
        R"({"osd":[{"index":1},{"index":1}]})",
        R"({"osd":[{"index":0,"x":704}]})",
        R"({"osd":[{"index":0,"y":576}]})",
        R"({"osd":[{"index":0,"x":-1}]})",
        R"({"osd":[{"index":0,"x":2.5}]})",
        R"({"osd":[{"index":2,"text":"123456789012345678901234567890123"}]})",
        R"({"osd":[{"index":2,"text":7}]})",
        R"({"osd":[{"index":2,"visible":1}]})",
        R"({"osd":[{"index":2,"visible":"true"}]})",
        // A good part before a bad one changes nothing either.
        R"({"masks":[],"osd":[{"index":0,"text":"NEW"},{"index":5}]})",
    };
    for (const char* text : bad) {
        error.clear();
        EXPECT_FALSE(s.apply(parse(text), error)) << text;
        EXPECT_FALSE(error.empty()) << text;
        EXPECT_EQ(s, before) << text;
    }
    // Texts that are not UTF-8 (the parser passes their bytes on as they are).
    for (const char* text : {"a\xFF", "\xC3", "\xC3(", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                             "\x80" "abc"}) {
        Json::Value body = parse(R"({"osd":[{"index":2}]})");
        body["osd"][0]["text"] = text;
        EXPECT_FALSE(s.apply(body, error)) << text;
        EXPECT_EQ(s, before);
    }
    // Six masks.
    std::string six = R"({"masks":[)";
    for (int i = 0; i < 6; ++i)
        six += (i ? "," : "") + mask;
    EXPECT_FALSE(s.apply(parse(six + "]}"), error));
    EXPECT_EQ(s, before);
    EXPECT_FALSE(s.apply(Json::Value(Json::arrayValue), error));
    EXPECT_EQ(s, before);
}

TEST(OverlayStore, SavedOverlaysAreReadBackAtStart)
{
    TempFolder data;
    OverlaySettings changed = OverlaySettings::defaults(2);
    changed.masks.push_back(OverlayRect{1, 2, 3, 4});
    changed.motion.set(77);
    changed.osd[2] = OsdItem{"Hof", 100, 200, true};
    {
        OverlayStore store(data.path(), 4);
        EXPECT_EQ(store.settings(2), OverlaySettings::defaults(2));
        std::string error;
        ASSERT_TRUE(store.save(2, changed, error)) << error;
        EXPECT_EQ(store.settings(2), changed);
        EXPECT_TRUE(std::filesystem::exists(data.path() / "overlays" / "channel-2.json"));
        EXPECT_FALSE(std::filesystem::exists(data.path() / "overlays" / "channel-2.json.tmp"));
    }
    std::vector<std::string> logged;
    OverlayStore again(data.path(), 4, [&](const std::string& line) { logged.push_back(line); });
    EXPECT_EQ(again.settings(2), changed);
    EXPECT_EQ(again.settings(1), OverlaySettings::defaults(1));
    EXPECT_TRUE(logged.empty());
}

TEST(OverlayStore, DamagedFilesGiveTheDefaultsAndAreLogged)
{
    const std::string zeros(64, '0');
    const char* damaged[] = {
        "",
        "{",
        "[1,2]",
        "not json at all",
        R"({"masks":[{"x":700,"y":0,"width":10,"height":10}]})",
        R"({"motion":"XYZ"})",
        "\xFF\xFE\x00\x01",
    };
    for (const char* content : damaged) {
        TempFolder data;
        writeText(data.path() / "overlays" / "channel-1.json", content);
        std::vector<std::string> logged;
        OverlayStore store(data.path(), 2, [&](const std::string& line) { logged.push_back(line); });
        EXPECT_EQ(store.settings(1), OverlaySettings::defaults(1)) << content;
        ASSERT_EQ(logged.size(), 1u) << content;
        EXPECT_NE(logged[0].find("channel 1"), std::string::npos) << logged[0];
        // A save replaces the damaged file.
        OverlaySettings s = OverlaySettings::defaults(1);
        s.motion.set(3);
        std::string error;
        ASSERT_TRUE(store.save(1, s, error)) << error;
        EXPECT_EQ(OverlayStore(data.path(), 2).settings(1), s);
    }
    // A folder where the file should be, and a huge file.
    TempFolder data;
    std::filesystem::create_directories(data.path() / "overlays" / "channel-0.json");
    writeText(data.path() / "overlays" / "channel-1.json", std::string(200000, ' '));
    int logged = 0;
    OverlayStore store(data.path(), 2, [&](const std::string&) { ++logged; });
    EXPECT_EQ(store.settings(0), OverlaySettings::defaults(0));
    EXPECT_EQ(store.settings(1), OverlaySettings::defaults(1));
    EXPECT_EQ(logged, 2);
    // The folder cannot be replaced by a file: the save fails and the
    // overlay stays.
    OverlaySettings s = OverlaySettings::defaults(0);
    s.motion.set(1);
    std::string error;
    EXPECT_FALSE(store.save(0, s, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(store.settings(0), OverlaySettings::defaults(0));
}

TEST(OverlayStore, WithoutADataFolderOverlaysLiveInMemory)
{
    OverlayStore store({}, 3);
    OverlaySettings s = OverlaySettings::defaults(0);
    s.masks.push_back(OverlayRect{0, 0, 704, 576});
    std::string error;
    ASSERT_TRUE(store.save(0, s, error));
    EXPECT_EQ(store.settings(0), s);
    EXPECT_FALSE(store.save(3, s, error));
}
