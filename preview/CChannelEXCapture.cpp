// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a video window: the decode-render library writes the picture
// shown as a BMP file, which becomes a JPEG file of the same name; the BMP
// file is deleted and the JPEG file shown in the desktop's file manager.
#include "preview/CChannelEX.h"

#include "platform/Debug.h"
#include "platform/LocalFolder.h"
#include "platform/Profile.h"
#include "platform/Shell.h"
#include "platform/Text.h"
#include "preview/RecordFileName.h"

#include "MIVU.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>

using namespace platform;

std::int32_t CChannelEX::CaptureLocalImage(const QString& snapRoot, const QString& deviceAddress,
                                          QString* savedPath)
{
    // The folder first: a folder that cannot be used fails the same way
    // whether or not a picture is shown, and nothing is saved elsewhere.
    const QString folder =
        preview::snapshotFolder(snapRoot, deviceAddress, m_devicePort.load(), m_channel.load());
    if (folder.isEmpty()) {
        debugPrintf("Preview, Channel %d, snapshot folder unusable: %s \n", m_channel.load(),
                    describe(localFolderOf(snapRoot).problem));
        return kRecordFileNotCreated;
    }
    if (m_playHandle.load() == 0 || !m_playing.load())
        return kNoStream;
    const QString bmpPath = folder + preview::snapshotFileName(QDateTime::currentDateTime());
    // The library takes a C string: the whole UTF-8 path, never a cut one
    // (a cut path would name another file).
    const std::string narrow = toUtf8Fitting(bmpPath, kMaxPathBytes);
    if (narrow.empty())
        return kRecordFileNotCreated;
    createFoldersOf(narrow);
    // A folder that could not be made (a file in its way) or written is
    // reported as such, whether or not there is a picture yet.
    if (const QFileInfo created(folder); !created.isDir() || !created.isWritable())
        return kRecordFileNotCreated;
    if (!QueryDecoder())
        return kNoStream;
    if (const std::int32_t captured = MIVU_CapturePicture(m_decoderHandle.load(), 0, narrow.c_str());
        captured != MIVU_OK) {
        QFile::remove(bmpPath);
        // A picture that could not be written is the folder's fault; any
        // other refusal means there is no picture to take yet.
        return captured == MIVU_ERR_WRITE ? kRecordFileNotCreated : kNoStream;
    }
    const QString jpegPath = preview::jpegPathFor(bmpPath);
    const QImage picture(bmpPath, "BMP");
    const bool saved = !picture.isNull() && picture.save(jpegPath, "JPEG");
    QFile::remove(bmpPath);
    if (!saved) {
        QFile::remove(jpegPath);
        debugPrintf("Preview, Channel %d, snapshot not saved \n", m_channel.load());
        return kRecordFileNotCreated;
    }
    showInFileManager(jpegPath);
    if (savedPath)
        *savedPath = jpegPath;
    return 0;
}
