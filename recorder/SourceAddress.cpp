// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceAddress.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace velk::recorder {

namespace {

// Where the part after "scheme://" starts, or npos.
std::size_t authorityStart(std::string_view address)
{
    const auto colon = address.find("://");
    return colon == std::string_view::npos ? std::string_view::npos : colon + 3;
}

// The end of the authority (host part): the first '/', '?' or '#' after it.
std::size_t authorityEnd(std::string_view address, std::size_t start)
{
    const auto end = address.find_first_of("/?#", start);
    return end == std::string_view::npos ? address.size() : end;
}

// The '@' ending the user part of the authority, or npos. The last one in
// the authority: an unencoded '@' in a password is common enough.
std::size_t userInfoEnd(std::string_view address)
{
    const auto start = authorityStart(address);
    if (start == std::string_view::npos)
        return std::string_view::npos;
    const auto at = address.substr(0, authorityEnd(address, start)).rfind('@');
    return at == std::string_view::npos || at < start ? std::string_view::npos : at;
}

std::string percentEncoded(std::string_view text)
{
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

}  // namespace

bool isRtspAddress(std::string_view address)
{
    if (address.size() < 7)
        return false;
    std::string scheme;
    for (const char c : address.substr(0, 7))
        scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme == "rtsp://";
}

bool hasScheme(std::string_view address)
{
    const auto colon = address.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (const char c : address.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool hasUserInfo(std::string_view address)
{
    return userInfoEnd(address) != std::string_view::npos;
}

std::string withCredentials(std::string_view address, std::string_view user, std::string_view password)
{
    const auto start = authorityStart(address);
    if (start == std::string_view::npos)
        return std::string(address);
    const auto at = userInfoEnd(address);
    const auto hostStart = at == std::string_view::npos ? start : at + 1;
    return std::string(address.substr(0, start)) + percentEncoded(user) + ":" + percentEncoded(password) + "@" +
           std::string(address.substr(hostStart));
}

std::string shownAddress(std::string_view address)
{
    const auto start = authorityStart(address);
    if (start == std::string_view::npos)
        return std::string(address);
    // Up to the last '@' of the whole address, not only of its host part: a
    // password with an unencoded '/', '?' or '#' ends the host part early
    // (libavformat would not take it as a password then either), and it is
    // hidden all the same. An address whose path holds an '@' after a port
    // shows less than it could; never a password.
    const auto at = address.rfind('@');
    if (at == std::string_view::npos || at < start)
        return std::string(address);
    const auto colon = address.substr(0, at).find(':', start);
    if (colon == std::string_view::npos)
        return std::string(address);
    return std::string(address.substr(0, colon)) + ":***" + std::string(address.substr(at));
}

bool readCredentialsFile(const std::string& path, std::string& user, std::string& password, std::string& message)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        message = "credentials file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        message = "credentials file " + path + " is not a regular file";
        return false;
    }
    if ((info.st_mode & 077) != 0) {
        message = "credentials file " + path +
                  " may be read by other users; refusing to use it (run: chmod 600 " + path + ")";
        return false;
    }
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        message = "credentials file " + path + " cannot be read or is empty";
        return false;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    const auto colon = line.find(':');
    if (colon == std::string::npos || colon == 0) {
        message = "credentials file " + path + ": its first line must be user:password";
        return false;
    }
    user = line.substr(0, colon);
    password = line.substr(colon + 1);
    return true;
}

}  // namespace velk::recorder
