// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/BackupText.h"

std::optional<QString> backupTimeDigits(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.size() != 19)
        return std::nullopt;
    QString digits = trimmed;
    digits.remove(QLatin1Char('-')).remove(QLatin1Char(' ')).remove(QLatin1Char(':'));
    if (digits.size() != 14)
        return std::nullopt;
    // Anything but digits left would travel into the recorder's command and
    // the clip's file name.
    for (const QChar ch : digits)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            return std::nullopt;
    return digits;
}

QString backupPercentText(std::uint64_t totalBytes, std::uint64_t currentBytes)
{
    if (totalBytes == 0)
        return QStringLiteral("0.00");
    const auto percent =
        static_cast<float>(static_cast<double>(currentBytes) * 100.0 / static_cast<double>(totalBytes));
    // QString::number ignores the C locale, which Qt sets from the
    // environment and which may use a decimal comma.
    return QString::number(static_cast<double>(percent), 'f', 2);
}
