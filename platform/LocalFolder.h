// SPDX-License-Identifier: GPL-3.0-or-later
// Folders as the settings give them (written for Windows-style pages as well
// as for this platform), checked and turned into local paths. A folder that
// cannot be used as given is refused, never bent into another one: files
// land in the folder the user chose or nowhere.
#pragma once

#include <QString>

#include <cstddef>

namespace platform {

// The longest name of one file or folder, and the longest path, in bytes of
// their UTF-8 form (the file system's NAME_MAX and PATH_MAX; the path's
// limit includes the terminating zero).
constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxPathBytes = 4096;

enum class FolderProblem {
    None,
    Empty,         // nothing but blanks
    Relative,      // no leading separator: "rec\", "D:\rec\" (a drive letter)
    NetworkShare,  // "\\server\share\..." or "//server/...": a network path this platform cannot reach
    ParentStep,    // a ".." component: the folder named is not the one written
    ZeroCharacter, // a NUL would end the path early
    NameTooLong,   // a component longer than kMaxNameBytes
    PathTooLong,   // the whole path does not fit kMaxPathBytes
};

struct LocalFolder {
    QString path;  // "/"-separated, ending in "/"; empty unless problem is None
    FolderProblem problem = FolderProblem::None;

    bool usable() const { return problem == FolderProblem::None; }
};

// The local form of a folder setting: blanks around it dropped, "\" read as
// "/", repeated separators and "." components removed, a final "/" added.
LocalFolder localFolderOf(const QString& setting);

// A short English reason for a problem, for the debug log.
const char* describe(FolderProblem problem);

}  // namespace platform
