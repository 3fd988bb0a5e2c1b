// SPDX-License-Identifier: GPL-3.0-or-later
// Folder settings turned into local paths: what is kept, what is refused.
#include "platform/LocalFolder.h"

#include <gtest/gtest.h>

using platform::FolderProblem;
using platform::localFolderOf;

namespace {

QString local(const char* setting)
{
    return localFolderOf(QString::fromUtf8(setting)).path;
}

FolderProblem problemOf(const QString& setting)
{
    return localFolderOf(setting).problem;
}

TEST(LocalFolder, AbsoluteFoldersKeepTheirNamesInLocalForm)
{
    EXPECT_EQ(local("/home/ann/rec"), "/home/ann/rec/");
    EXPECT_EQ(local("/home/ann/rec/"), "/home/ann/rec/");
    EXPECT_EQ(local("\\home\\ann\\rec\\"), "/home/ann/rec/");
    EXPECT_EQ(local("  /home/ann/rec/ \t"), "/home/ann/rec/");
    EXPECT_EQ(local("/home//ann/./rec///"), "/home/ann/rec/");
    EXPECT_EQ(local("/"), "/");
    EXPECT_EQ(local("/home/ann/my rec/"), "/home/ann/my rec/") << "blanks inside names are kept";
    EXPECT_EQ(local("/home/ann/\xE5\xBD\x95\xE5\x83\x8F/\xE5\xBF\xAB\xE7\x85\xA7"),
              QString::fromUtf8("/home/ann/\xE5\xBD\x95\xE5\x83\x8F/\xE5\xBF\xAB\xE7\x85\xA7/"));
    EXPECT_EQ(local("/a/..b/c..d/"), "/a/..b/c..d/") << "dots inside names are not steps";
}

TEST(LocalFolder, FoldersWithoutAFixedPlaceHereAreRefused)
{
    const std::pair<const char*, FolderProblem> cases[] = {
        {"", FolderProblem::Empty},
        {" \t ", FolderProblem::Empty},
        {"rec/", FolderProblem::Relative},
        {"D:\\rec\\", FolderProblem::Relative},
        {"C:/rec/", FolderProblem::Relative},
        {"./rec", FolderProblem::Relative},
        // A Windows network share would become a folder at the root.
        {"\\\\server\\share\\x", FolderProblem::NetworkShare},
        {"//server/share/x", FolderProblem::NetworkShare},
        {"\\/server", FolderProblem::NetworkShare},
        {"\\\\?\\C:\\rec", FolderProblem::NetworkShare},
        {"/home/ann/../bob/", FolderProblem::ParentStep},
        {"\\rec\\..", FolderProblem::ParentStep},
    };
    for (const auto& [setting, problem] : cases) {
        const platform::LocalFolder folder = localFolderOf(QString::fromUtf8(setting));
        EXPECT_EQ(folder.problem, problem) << setting;
        EXPECT_TRUE(folder.path.isEmpty()) << setting;
        EXPECT_FALSE(folder.usable()) << setting;
    }
    EXPECT_EQ(problemOf(QStringLiteral("/rec") + QChar(0) + QStringLiteral("/x/")), FolderProblem::ZeroCharacter);
}

TEST(LocalFolder, NamesAndPathsAreMeasuredInUtf8Bytes)
{
    // 255 bytes in one name is the most a file system takes.
    EXPECT_EQ(problemOf("/" + QString(255, QChar('n'))), FolderProblem::None);
    EXPECT_EQ(problemOf("/" + QString(256, QChar('n'))), FolderProblem::NameTooLong);
    const QString han = QString::fromUtf8("\xE5\xBD\x95");  // three bytes in UTF-8
    EXPECT_EQ(problemOf("/" + han.repeated(85) + "/x"), FolderProblem::None);
    EXPECT_EQ(problemOf("/" + han.repeated(86) + "/x"), FolderProblem::NameTooLong);

    // The whole folder and its terminator fit 4096 bytes.
    QString path;
    while (path.toUtf8().size() + 101 < 4095)
        path += "/" + QString(100, QChar('p'));
    path += "/" + QString(4094 - path.toUtf8().size() - 1, QChar('q'));
    ASSERT_EQ(path.toUtf8().size(), 4094);
    EXPECT_EQ(problemOf(path), FolderProblem::None);  // 4095 bytes with the final "/"
    EXPECT_EQ(problemOf(path + "q"), FolderProblem::PathTooLong);
}

}  // namespace
