// SPDX-License-Identifier: GPL-3.0-or-later
// The profile folder, safe file-name parts and folder creation.
#include "TestSupport.h"

#include "platform/Profile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace platform;
using platform::test::ScopedEnv;

namespace {

TEST(ProfileFolder, PrefersUserProfileThenHome)
{
    {
        ScopedEnv profile("USERPROFILE", "/home/u/profile/");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(profileFolder(), "/home/u/profile");
    }
    {
        ScopedEnv profile("USERPROFILE", "");
        ScopedEnv home("HOME", "/home/u//");
        EXPECT_EQ(profileFolder(), "/home/u");
    }
    {
        ScopedEnv profile("USERPROFILE", std::nullopt);
        ScopedEnv home("HOME", std::nullopt);
        EXPECT_EQ(profileFolder(), "");
    }
    {
        ScopedEnv profile("USERPROFILE", "C:\\Users\\u\\");
        EXPECT_EQ(profileFolder(), "C:\\Users\\u");
    }
}

TEST(SafeFileNamePart, KeepsOrdinaryAddressesAndNames)
{
    EXPECT_EQ(safeFileNamePart("192.168.1.10"), "192.168.1.10");
    EXPECT_EQ(safeFileNamePart("dvr-01.example_net"), "dvr-01.example_net");
    EXPECT_EQ(safeFileNamePart("caf\xC3\xA9"), "caf\xC3\xA9") << "non-ASCII characters are kept";
    EXPECT_EQ(safeFileNamePart("fe80::1"), "fe80__1");
}

TEST(SafeFileNamePart, NothingCanEscapeTheFolder)
{
    EXPECT_EQ(safeFileNamePart(""), "_");
    EXPECT_EQ(safeFileNamePart("."), "_");
    EXPECT_EQ(safeFileNamePart(".."), "_");
    EXPECT_EQ(safeFileNamePart("...."), "_");
    EXPECT_EQ(safeFileNamePart("../../etc/passwd"), ".__.__etc_passwd");
    EXPECT_EQ(safeFileNamePart("..\\..\\x"), ".__.__x");
    EXPECT_EQ(safeFileNamePart("C:\\Windows"), "C__Windows");
    EXPECT_EQ(safeFileNamePart(std::string("a\0b\n\x7f", 5)), "a_b__");
    EXPECT_EQ(safeFileNamePart("a\xC2\x85z"), "a_z") << "C1 controls go too";
    EXPECT_EQ(safeFileNamePart("a\xC0\xAF\xFFz"), "a___z") << "broken UTF-8 goes";
    EXPECT_EQ(safeFileNamePart("a\xE2\x82"), "a__") << "a cut sequence goes";
    for (const char* evil : {"..", "../a", "a/..", "a\\..\\b", "x/y", "..."}) {
        const std::string safe = safeFileNamePart(evil);
        EXPECT_EQ(safe.find('/'), std::string::npos) << evil;
        EXPECT_EQ(safe.find('\\'), std::string::npos) << evil;
        EXPECT_EQ(safe.find(".."), std::string::npos) << evil;
    }
}

TEST(Paths, ForwardSlashesAndFolderCreation)
{
    EXPECT_EQ(toForwardSlashes("C:\\VELK_Dvr\\a/b"), "C:/VELK_Dvr/a/b");

    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    createFoldersOf(base + "\\VELK_Dvr\\192.168.1.10_80_");  // the last part is a name, not a folder
    EXPECT_TRUE(std::filesystem::is_directory(base + "/VELK_Dvr"));
    EXPECT_FALSE(std::filesystem::exists(base + "/VELK_Dvr/192.168.1.10_80_"));

    createFoldersOf(base + "/a/b/c/");
    EXPECT_TRUE(std::filesystem::is_directory(base + "/a/b/c"));
    createFoldersOf(base + "/a/b/c/");  // existing folders are fine

    std::ofstream(base + "/file") << "x";
    createFoldersOf(base + "/file/sub/");  // a file in the way: ignored
    EXPECT_TRUE(std::filesystem::is_regular_file(base + "/file"));
    createFoldersOf("no-separator");
    createFoldersOf("");
}

}  // namespace
