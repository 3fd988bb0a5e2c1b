// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/OsdMatrix.h"

#include "platform/Text.h"

#include <algorithm>
#include <string>

namespace {

// Bytes of the UTF-8 sequence that starts at text[pos] (1 for a stray byte).
std::size_t utf8SequenceLength(const std::string& text, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF7)
        length = 4;
    else if (lead >= 0xE0)
        length = lead <= 0xEF ? 3 : 1;
    else if (lead >= 0xC0)
        length = 2;
    return std::min(length, text.size() - pos);
}

// Index of c at or after from, or -1. A negative start searches from 0.
long long findFrom(const std::string& text, char c, long long from)
{
    const std::size_t pos = text.find(c, from < 0 ? 0 : static_cast<std::size_t>(from));
    return pos == std::string::npos ? -1 : static_cast<long long>(pos);
}

}  // namespace

QString createOsdMatrix(const QString& text)
{
    std::string work = platform::toUtf8Fitting(text, kOsdMatrixBufferBytes);
    const auto length = static_cast<long long>(work.size());

    const long long firstUnderscore = findFrom(work, '_', 0);
    long long zero = findFrom(work, '0', firstUnderscore + 1);

    // The fourth underscore, searching on from index 1; a failed search makes
    // the next one start again at 0.
    long long underscore = 0;
    for (int i = 0; i < 4; ++i)
        underscore = findFrom(work, '_', i == 0 ? 1 : underscore + 1);
    const long long tailLength = length - underscore - 1;

    if (zero < 0)
        zero = 0;
    const auto at = static_cast<std::size_t>(std::min(zero, length));
    // Delete one whole character, so that no UTF-8 sequence is cut in half.
    if (at < work.size())
        work.erase(at, utf8SequenceLength(work, at));
    work.insert(std::min(at, work.size()), std::to_string(tailLength));
    return platform::fromUtf8(work);
}
