// SPDX-License-Identifier: GPL-3.0-or-later
// INI profile files with the desktop semantics, the profile folder and
// file-name-safe names.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Reads one key of one section. Section and key names match
// case-insensitively; surrounding blanks of names and values are ignored.
// Returns defaultValue when the file, section or key is missing. Values are
// UTF-8. At most maxChars characters (UTF-8 code points) are returned.
std::string readProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue = {},
                              std::size_t maxChars = 65535);

// Writes one key of one section, creating the file and the section when
// missing and keeping every other line as it was. False on an I/O error.
bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// The user's profile folder: USERPROFILE when set and nonempty, else HOME,
// else an empty text. Never ends with a separator.
std::string profileFolder();

// Turns page input (a recorder address, a device file name) into one safe
// file-name component: no separators, no "..", no control characters, not
// empty. Characters outside [A-Za-z0-9._-] become '_' (non-ASCII UTF-8 kept).
std::string safeFileNamePart(std::string_view text);

// Replaces every '\' with '/'.
std::string toForwardSlashes(std::string_view path);

// Creates every missing folder of a path up to and including the last '/'
// or '\'. Failures (existing folders in particular) are ignored.
void createFoldersOf(std::string_view path);

}  // namespace platform
