// SPDX-License-Identifier: GPL-3.0-or-later
#include "StaticFiles.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace velk::recorder {

namespace fs = std::filesystem;

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool isInside(const fs::path& root, const fs::path& candidate)
{
    const auto mismatch = std::mismatch(root.begin(), root.end(), candidate.begin(), candidate.end());
    return mismatch.first == root.end();
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        const char decoded = static_cast<char>(high * 16 + low);
        if (decoded == '\0')
            return std::nullopt;
        out.push_back(decoded);
        i += 2;
    }
    return out;
}

std::optional<std::string> queryValue(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        const auto eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return percentDecode(eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1));
    }
    return std::nullopt;
}

std::optional<fs::path> resolveWebPath(const fs::path& root, std::string_view requestPath)
{
    if (root.empty() || requestPath.empty() || requestPath.front() != '/')
        return std::nullopt;
    const auto decoded = percentDecode(requestPath);
    if (!decoded || decoded->find('\\') != std::string::npos)
        return std::nullopt;

    std::error_code error;
    const fs::path canonicalRoot = fs::canonical(root, error);
    if (error)
        return std::nullopt;

    fs::path relative;
    std::size_t start = 1;
    while (start <= decoded->size()) {
        const std::size_t end = std::min(decoded->find('/', start), decoded->size());
        const std::string segment = decoded->substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == ".")
            continue;
        if (segment == "..")
            return std::nullopt;
        relative /= segment;
    }

    fs::path candidate = canonicalRoot / relative;
    if (fs::is_directory(candidate, error))
        candidate /= "index.html";
    const fs::path resolved = fs::canonical(candidate, error);
    if (error || !isInside(canonicalRoot, resolved) || !fs::is_regular_file(resolved, error))
        return std::nullopt;
    return resolved;
}

std::string contentTypeFor(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == ".html" || ext == ".htm")
        return "text/html; charset=utf-8";
    if (ext == ".js" || ext == ".mjs")
        return "text/javascript; charset=utf-8";
    if (ext == ".css")
        return "text/css; charset=utf-8";
    if (ext == ".json" || ext == ".map")
        return "application/json";
    if (ext == ".png")
        return "image/png";
    if (ext == ".svg")
        return "image/svg+xml";
    if (ext == ".ico")
        return "image/x-icon";
    if (ext == ".jpg" || ext == ".jpeg")
        return "image/jpeg";
    if (ext == ".txt")
        return "text/plain; charset=utf-8";
    if (ext == ".wasm")
        return "application/wasm";
    return "application/octet-stream";
}

}  // namespace velk::recorder
