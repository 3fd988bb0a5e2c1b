// SPDX-License-Identifier: GPL-3.0-or-later
// Rewrites the length field of an on-screen text description.
#pragma once

#include <QString>

#include <cstddef>

// In a text of underscore-separated fields such as 1_0_a_b_cd, the first "0"
// after the first underscore is replaced by the length (in UTF-8 bytes) of
// what follows the fourth underscore: 1_0_a_b_cd becomes 1_2_a_b_cd. A text
// whose UTF-8 form does not fit kOsdMatrixBufferBytes (with its terminator)
// is treated as empty.
QString createOsdMatrix(const QString& text);

constexpr std::size_t kOsdMatrixBufferBytes = 0x100000;  // 1 MiB
