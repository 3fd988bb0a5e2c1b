// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/RecordFileName.h"

#include "platform/LocalFolder.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <QDir>

namespace preview {

namespace {

constexpr int kBarePort = 80;

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString stamp(const QDateTime& localTime)
{
    return localTime.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

}  // namespace

QString normalisedRoot(const QString& root)
{
    return platform::localFolderOf(root).path;
}

QString deviceFolderName(const QString& address, int port)
{
    std::string part = platform::safeFileNamePart(platform::toUtf8(address));
    // Whatever the helper keeps, no separator may remain.
    for (char& ch : part)
        if (ch == '/' || ch == '\\' || ch == '\0')
            ch = '_';
    QString name = platform::fromUtf8(part);
    if (port != kBarePort)
        name += QLatin1Char('_') + QString::number(port);
    return name;
}

QString recordFilePath(const QString& root, const QString& address, int port, int channel,
                       const QDateTime& localTime)
{
    const QString base = normalisedRoot(root);
    if (base.isEmpty())
        return {};
    const QString n = twoDigits(channel + 1);
    return base + deviceFolderName(address, port) + QStringLiteral("/RECORD/CH") + n + QStringLiteral("/ch") + n +
           QLatin1Char('_') + stamp(localTime) + QStringLiteral(".264");
}

QString snapshotFolder(const QString& root, const QString& address, int port, int channel)
{
    const QString base = normalisedRoot(root);
    if (base.isEmpty())
        return {};
    return base + deviceFolderName(address, port) + QStringLiteral("/CAPTURE/CH") + twoDigits(channel + 1) +
           QLatin1Char('/');
}

QString snapshotFileName(const QDateTime& localTime)
{
    return stamp(localTime) + QStringLiteral(".bmp");
}

QString jpegPathFor(const QString& bmpPath)
{
    return bmpPath.chopped(3) + QStringLiteral("jpeg");
}

}  // namespace preview
