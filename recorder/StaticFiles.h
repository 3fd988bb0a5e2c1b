// SPDX-License-Identifier: GPL-3.0-or-later
// Safe mapping of request paths to files of the web folder, and their
// content types; the decoding of request paths and query parameters.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velk::recorder {

// Decodes %XX escapes; nullopt for a broken escape or an encoded NUL.
std::optional<std::string> percentDecode(std::string_view text);

// The first value of one query parameter ("a=1&name=value"), decoded;
// nullopt when it is absent or its escapes are broken.
std::optional<std::string> queryValue(std::string_view query, std::string_view name);

// The file a request path (without its query) names inside root: nullopt
// when the path is malformed, leaves root ("..", symbolic links pointing
// out), or names nothing. A folder means its index.html.
std::optional<std::filesystem::path> resolveWebPath(const std::filesystem::path& root, std::string_view requestPath);

// Content type for a file name, by its extension.
std::string contentTypeFor(const std::filesystem::path& file);

}  // namespace velk::recorder
