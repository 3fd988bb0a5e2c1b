// SPDX-License-Identifier: GPL-3.0-or-later
// Replacing a small file atomically: the data go to "<file>.tmp", are
// flushed to disk, and the temporary file is renamed over the file, then
// the folder is flushed. A reader sees the old content or the new, never a
// mix; a failure leaves the old file as it was.
#pragma once

#include <filesystem>
#include <string>

namespace velk::recorder {

// Creates the file's folder when needed. False (and error) on failure.
bool replaceFileAtomically(const std::filesystem::path& file, const std::string& data, std::string& error);

}  // namespace velk::recorder
