// SPDX-License-Identifier: GPL-3.0-or-later
// Text conversions. Wide texts are UTF-16 (QString), the narrow code page
// is UTF-8.
#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

std::string toUtf8(const QString& text);
QString fromUtf8(std::string_view text);

// UTF-8 form of a text for a buffer of bufferBytes bytes that must also hold
// the terminating zero: when the UTF-8 form needs more, the result is empty.
std::string toUtf8Fitting(const QString& text, std::size_t bufferBytes);

// Copies a text into a buffer of bufferBytes bytes, always zero-terminated;
// cut at a UTF-8 character boundary when it does not fit. Returns the bytes
// written without the terminator.
std::size_t copyTruncated(std::string_view text, char* buffer, std::size_t bufferBytes);

}  // namespace platform
