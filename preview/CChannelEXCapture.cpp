// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a video window: the decode-render library writes the picture
// shown as a BMP file, which becomes a JPEG file of the same name; the BMP
// file is deleted and the JPEG file shown in the desktop's file manager.
#include "preview/CChannelEX.h"

#include "platform/Debug.h"
#include "platform/Profile.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "preview/RecordFileName.h"

#include "MIVU.h"

#include <QDateTime>
#include <QFile>
#include <QImage>

using namespace platform;

namespace {

// The narrow path handed to the library fits a buffer of this many bytes,
// terminator included.
constexpr std::size_t kNarrowPathBytes = 260;

}  // namespace

QString CChannelEX::CaptureLocalImage(const QString& snapRoot, const QString& deviceAddress)
{
    if (m_playHandle.load() == 0 || !m_playing.load())
        return {};
    const QString folder =
        preview::snapshotFolder(snapRoot, deviceAddress, m_devicePort.load(), m_channel.load());
    if (folder.isEmpty())
        return {};
    const QString bmpPath = folder + preview::snapshotFileName(QDateTime::currentDateTime());
    // A longer path would name another file once cut to the buffer.
    const std::string narrow = toUtf8Fitting(bmpPath, kNarrowPathBytes);
    if (narrow.empty())
        return {};
    createFoldersOf(narrow);
    if (!QueryDecoder())
        return {};
    if (MIVU_CapturePicture(m_decoderHandle.load(), 0, narrow.c_str()) != 0) {
        QFile::remove(bmpPath);
        return {};
    }
    const QString jpegPath = preview::jpegPathFor(bmpPath);
    const QImage picture(bmpPath, "BMP");
    const bool saved = !picture.isNull() && picture.save(jpegPath, "JPEG");
    QFile::remove(bmpPath);
    if (!saved) {
        QFile::remove(jpegPath);
        debugPrintf("Preview, Channel %d, snapshot not saved \n", m_channel.load());
        return {};
    }
    showInFileManager(jpegPath);
    return jpegPath;
}
