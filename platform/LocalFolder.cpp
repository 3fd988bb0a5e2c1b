// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LocalFolder.h"

#include <QStringList>

namespace platform {

namespace {

LocalFolder refused(FolderProblem problem)
{
    return {QString(), problem};
}

bool isSeparator(QChar ch)
{
    return ch == QLatin1Char('/') || ch == QLatin1Char('\\');
}

}  // namespace

LocalFolder localFolderOf(const QString& setting)
{
    const QString text = setting.trimmed();
    if (text.isEmpty())
        return refused(FolderProblem::Empty);
    if (text.contains(QChar(0)))
        return refused(FolderProblem::ZeroCharacter);
    // Two separators in front name a network share on Windows; here they
    // would name a folder at the root ("//server/share" is "/server/share").
    if (text.size() >= 2 && isSeparator(text.at(0)) && isSeparator(text.at(1)))
        return refused(FolderProblem::NetworkShare);
    // Without a leading separator (a drive letter included) the folder would
    // depend on wherever the program happens to run.
    if (!isSeparator(text.at(0)))
        return refused(FolderProblem::Relative);

    QString forward = text;
    forward.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QString path = QStringLiteral("/");
    for (const QString& name : forward.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (name == QLatin1String("."))
            continue;
        if (name == QLatin1String(".."))
            return refused(FolderProblem::ParentStep);
        if (static_cast<std::size_t>(name.toUtf8().size()) > kMaxNameBytes)
            return refused(FolderProblem::NameTooLong);
        path += name + QLatin1Char('/');
    }
    if (static_cast<std::size_t>(path.toUtf8().size()) >= kMaxPathBytes)
        return refused(FolderProblem::PathTooLong);
    return {path, FolderProblem::None};
}

const char* describe(FolderProblem problem)
{
    switch (problem) {
    case FolderProblem::None:
        return "usable";
    case FolderProblem::Empty:
        return "empty";
    case FolderProblem::Relative:
        return "not an absolute path";
    case FolderProblem::NetworkShare:
        return "a network share path";
    case FolderProblem::ParentStep:
        return "a \"..\" component";
    case FolderProblem::ZeroCharacter:
        return "a zero character";
    case FolderProblem::NameTooLong:
        return "a name longer than 255 bytes";
    case FolderProblem::PathTooLong:
        return "longer than 4095 bytes";
    }
    return "unknown";
}

}  // namespace platform
