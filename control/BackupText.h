// SPDX-License-Identifier: GPL-3.0-or-later
// Texts of backup downloads: the time form the recorder takes and the percent
// text of a progress report.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// "YYYY-MM-DD HH:MM:SS" (white space at both ends ignored) as the 14 digits
// YYYYMMDDHHMMSS; nullopt when the trimmed text is not 19 characters long or
// is not 14 digits once every "-", " " and ":" is removed.
std::optional<QString> backupTimeDigits(const QString& text);

// current * 100 / total in single precision with two decimals ("25.00"),
// always with a full stop; "0.00" when the total is 0.
QString backupPercentText(std::uint64_t totalBytes, std::uint64_t currentBytes);
