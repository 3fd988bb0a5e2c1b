// SPDX-License-Identifier: GPL-3.0-or-later
// Profile (INI) files: reading and writing one key with the desktop rules.
#include "platform/IniDocument.h"
#include "platform/Profile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using namespace platform;

namespace {

class IniProfileTest : public ::testing::Test {
protected:
    std::string path(const char* name = "A_80_config.ini") const
    {
        return (m_dir.path() + "/" + name).toStdString();
    }
    void writeFile(const std::string& file, const std::string& bytes)
    {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string readFile(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream out;
        out << in.rdbuf();
        return out.str();
    }

    QTemporaryDir m_dir;
};

TEST_F(IniProfileTest, ReadsNamesCaseInsensitivelyAndTrimsBlanks)
{
    writeFile(path(), "; settings\n[VELK_Dvr]\n  Snap_Path =  /pics/a=b  \nempty=\n[Other]\nsnap_path=no\n");
    EXPECT_EQ(readProfileString(path(), "velk_dvr", "snap_path"), "/pics/a=b");
    EXPECT_EQ(readProfileString(path(), " VELK_DVR ", "SNAP_PATH"), "/pics/a=b");
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "empty", "dflt"), "") << "present but empty is not missing";
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "missing", "dflt"), "dflt");
    EXPECT_EQ(readProfileString(path(), "NoSection", "snap_path", "dflt"), "dflt");
    EXPECT_EQ(readProfileString(path("absent.ini"), "VELK_Dvr", "snap_path", "30"), "30");
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "snap_path", "", 4), "/pic");
}

TEST_F(IniProfileTest, MaxCharsCountsCharactersNotBytes)
{
    writeFile(path(), "[s]\nk=\xC3\xA9t\xC3\xA9\n");  // "été"
    EXPECT_EQ(readProfileString(path(), "s", "k", "", 2), "\xC3\xA9t");
    EXPECT_EQ(readProfileString(path(), "s", "k", "", 0), "");
}

TEST_F(IniProfileTest, CrlfBomAndMissingFinalLineBreakAreRead)
{
    writeFile(path(), "\xEF\xBB\xBF[VELK_Dvr]\r\nrecord_pack_time=45\r\nsave_alarm=1");
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "record_pack_time"), "45");
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "save_alarm"), "1");
}

TEST_F(IniProfileTest, WriteCreatesFileThenSectionsThenKeys)
{
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "snap_path", "/pics/"));
    EXPECT_EQ(readFile(path()), "[VELK_Dvr]\nsnap_path=/pics/\n");
    ASSERT_TRUE(writeProfileString(path(), "PreviewChannelOrder", "0", "3"));
    ASSERT_TRUE(writeProfileString(path(), "velk_dvr", "Record_Path", "/rec/"));
    EXPECT_EQ(readFile(path()),
              "[VELK_Dvr]\nsnap_path=/pics/\nRecord_Path=/rec/\n[PreviewChannelOrder]\n0=3\n");
    EXPECT_EQ(readProfileString(path(), "VELK_DVR", "record_path"), "/rec/");
}

TEST_F(IniProfileTest, WriteKeepsEveryOtherLineAndTheKeyAsWritten)
{
    const std::string before =
        "; top comment\n"
        "[VELK_Dvr]\n"
        "Snap_Path = /old/\n"
        "# note\n"
        "backup_path=/b/\n"
        "\n"
        "; about the next section\n"
        "[Other]\n"
        "x=1\n";
    writeFile(path(), before);
    ASSERT_TRUE(writeProfileString(path(), "velk_dvr", "snap_path", "/new/=x"));
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "alarm_path", "/al/"));
    EXPECT_EQ(readFile(path()),
              "; top comment\n"
              "[VELK_Dvr]\n"
              "Snap_Path = /new/=x\n"
              "# note\n"
              "backup_path=/b/\n"
              "alarm_path=/al/\n"
              "\n"
              "; about the next section\n"
              "[Other]\n"
              "x=1\n");
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "snap_path"), "/new/=x");
}

TEST_F(IniProfileTest, WriteKeepsCrlfAndRepairsMissingFinalLineBreak)
{
    writeFile(path(), "[a]\r\nk=1\r\n[b]\r\nz=2");
    ASSERT_TRUE(writeProfileString(path(), "a", "k", "10"));
    ASSERT_TRUE(writeProfileString(path(), "b", "y", "3"));
    ASSERT_TRUE(writeProfileString(path(), "c", "w", "4"));
    EXPECT_EQ(readFile(path()), "[a]\r\nk=10\r\n[b]\r\nz=2\r\ny=3\r\n[c]\r\nw=4\r\n");

    writeFile(path("lf.ini"), "[a]\nk=1");
    ASSERT_TRUE(writeProfileString(path("lf.ini"), "b", "k", "2"));
    EXPECT_EQ(readFile(path("lf.ini")), "[a]\nk=1\n[b]\nk=2\n");
}

TEST_F(IniProfileTest, AValueOfBlanksLeavesNoBlanksInFrontOfLaterValues)
{
    // Written through the profile functions: the blanks are not stored, and
    // the next value of the key starts right after the '='.
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "snap_path", "/pics/"));
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "record_path", "   "));
    EXPECT_EQ(readProfileString(path(), "VELK_Dvr", "record_path", "dflt"), "");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "record_path", " \t "));
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "record_path", "/rec/"));
    ASSERT_TRUE(writeProfileString(path(), "VELK_Dvr", "snap_path", "/snaps/"));
    EXPECT_EQ(readFile(path()), "[VELK_Dvr]\nsnap_path=/snaps/\nrecord_path=/rec/\n");

    // A file that already holds a value of blanks (written by hand or by an
    // older version), with LF and CRLF line breaks.
    for (const std::string lineEnd : {"\n", "\r\n"}) {
        IniDocument doc = IniDocument::parse("[s]" + lineEnd + "a=   " + lineEnd + "b = \t" + lineEnd +
                                             "c =  old" + lineEnd);
        ASSERT_TRUE(doc.setValue("s", "a", "x"));
        ASSERT_TRUE(doc.setValue("s", "b", "y"));
        ASSERT_TRUE(doc.setValue("s", "c", "  z  "));
        EXPECT_EQ(doc.text(), "[s]" + lineEnd + "a=x" + lineEnd + "b =y" + lineEnd + "c =  z" + lineEnd);
        EXPECT_EQ(doc.value("s", "c"), "z");
    }
}

TEST_F(IniProfileTest, RefusesTextsThatWouldInjectLines)
{
    writeFile(path(), "[VELK_Dvr]\nsnap_path=/ok/\n");
    EXPECT_FALSE(writeProfileString(path(), "VELK_Dvr", "snap_path", "/x/\n[VELK_Dvr]\nsave_alarm=1"));
    EXPECT_FALSE(writeProfileString(path(), "VELK_Dvr", "snap_path", "a\rb"));
    EXPECT_FALSE(writeProfileString(path(), "VELK_Dvr", "a=b", "1"));
    EXPECT_FALSE(writeProfileString(path(), "VELK_Dvr", "  ", "1"));
    EXPECT_FALSE(writeProfileString(path(), "VELK_Dvr", "[k]", "1"));
    EXPECT_FALSE(writeProfileString(path(), "x]y", "k", "1"));
    EXPECT_FALSE(writeProfileString(path(), "", "k", "1"));
    EXPECT_EQ(readFile(path()), "[VELK_Dvr]\nsnap_path=/ok/\n");
}

TEST_F(IniProfileTest, WriteFailsWithoutTheFolderAndLeavesNoLitter)
{
    EXPECT_FALSE(writeProfileString(path("missing/sub.ini"), "s", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(path("missing")));
    ASSERT_TRUE(writeProfileString(path(), "s", "k", "v"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir.path().toStdString()))
        ++files;
    EXPECT_EQ(files, 1u) << "no temporary file is left beside the profile";
}

TEST_F(IniProfileTest, ConcurrentWritersKeepEachOthersKeys)
{
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([this, w] {
            for (int i = 0; i < 10; ++i)
                EXPECT_TRUE(writeProfileString(path(), "s", "k" + std::to_string(w * 10 + i), "v"));
        });
    for (auto& t : writers)
        t.join();
    for (int k = 0; k < 40; ++k)
        EXPECT_EQ(readProfileString(path(), "s", "k" + std::to_string(k)), "v") << k;
}

TEST(IniDocument, DuplicateSectionsUseTheFirstForNewKeys)
{
    IniDocument doc = IniDocument::parse("[s]\na=1\n[t]\nb=2\n[S]\nc=3\n");
    EXPECT_EQ(doc.value("s", "c"), "3") << "keys of a repeated section are still found";
    ASSERT_TRUE(doc.setValue("s", "d", "4"));
    ASSERT_TRUE(doc.setValue("s", "c", "5"));
    EXPECT_EQ(doc.text(), "[s]\na=1\nd=4\n[t]\nb=2\n[S]\nc=5\n");
    EXPECT_EQ(doc.value("t", "a"), std::nullopt);
}

TEST(IniDocument, LinesOutsideSectionsAndWithoutEqualsAreNotKeys)
{
    IniDocument doc = IniDocument::parse("k=0\n[s]\nplain line\n;k=1\nk=2\n");
    EXPECT_EQ(doc.value("s", "k"), "2");
    EXPECT_EQ(doc.value("s", "plain line"), std::nullopt);
    EXPECT_EQ(IniDocument::parse("").text(), "");
}

}  // namespace
