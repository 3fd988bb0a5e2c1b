// SPDX-License-Identifier: GPL-3.0-or-later
// Names of local record files and snapshots. A record file of channel n
// (1-based) goes to <root><address>/RECORD/CHnn/chnn_YYYYMMDD-hhmmss.264, a
// snapshot to <root><address>/CAPTURE/CHnn/YYYYMMDD-hhmmss.bmp (turned into
// .jpeg); with a port other than 80 the address part is <address>_<port>.
// Times are local. Pure text work, callable from any thread.
#pragma once

#include <QDateTime>
#include <QString>

namespace preview {

// A root as the settings give it, in local form (platform::localFolderOf:
// blanks around it removed, "\" turned into "/", a final "/"), so that the
// address always names a folder inside the root. Empty when the root cannot
// be used as given (empty, relative, a network share, a ".." component, a
// zero character, a name or path too long): nothing is recorded or saved
// then, and nothing is written anywhere else.
QString normalisedRoot(const QString& root);

// The device's folder name inside a root: the address made safe for a file
// name (it can never leave the root), with "_<port>" unless the port is 80.
QString deviceFolderName(const QString& address, int port);

// The record file for a 0-based channel, started at a local time. Empty when
// the root is unusable.
QString recordFilePath(const QString& root, const QString& address, int port, int channel,
                       const QDateTime& localTime);

// The snapshot folder (ending in "/") of a 0-based channel, and the BMP file
// name taken at a local time; empty folder when the root is unusable.
QString snapshotFolder(const QString& root, const QString& address, int port, int channel);
QString snapshotFileName(const QDateTime& localTime);

// The JPEG file a BMP snapshot becomes: "bmp" at the end replaced by "jpeg".
QString jpegPathFor(const QString& bmpPath);

}  // namespace preview
