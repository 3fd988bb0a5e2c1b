// SPDX-License-Identifier: GPL-3.0-or-later
// Playback snapshots: the decode-render library writes the picture of the
// window heard as a BMP file in the channel's snapshot folder; it becomes a
// JPEG file of the same name, the BMP file goes, and the file is shown in
// the file manager and named to the host.
#include "playback/CPlayBackCtrlPanel.h"

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

namespace {

// Without a snapshot folder the pictures go to the VELK_Dvr folder of the
// user's profile (where the settings files are).
QString defaultSnapFolder()
{
    return QString::fromStdString(platform::toForwardSlashes(platform::profileFolder())) +
           QStringLiteral("/VELK_Dvr/");
}

}  // namespace

QString CPlayBackCtrlPanel::takeSnapshot()
{
    if (m_session.playState() == playback::kStopped)
        return {};
    if (!m_session.getDecoder()) {
        m_session.stopPlay();
        return {};
    }
    int slot = 0;
    for (int i = 0; i < playback::PlaybackSession::kSlots; ++i) {
        if (playback::IPlaybackWindow* w = m_session.window(i); w && w->isActive()) {
            slot = i;
            break;
        }
    }
    playback::IPlaybackWindow* window = m_session.window(slot);
    if (!window || !window->isPlaying())
        return {};
    if (m_snapPath.trimmed().isEmpty())
        m_snapPath = defaultSnapFolder();
    const QString folder =
        preview::snapshotFolder(m_snapPath, m_deviceAddress, static_cast<int>(m_devicePort), slot);
    if (folder.isEmpty()) {
        platform::debugPrintf("Playback snapshot: folder unusable: %s \n", m_snapPath.toUtf8().constData());
        return {};
    }
    const QString bmpPath =
        folder + QStringLiteral("pb_") + preview::snapshotFileName(QDateTime::currentDateTime());
    const std::string narrow = platform::toUtf8Fitting(bmpPath, platform::kMaxPathBytes);
    if (narrow.empty())
        return {};
    platform::createFoldersOf(narrow);
    if (m_session.library().capturePicture(m_session.sessionDecoder(), slot, narrow.c_str()) != MIVU_OK) {
        QFile::remove(bmpPath);
        return {};
    }
    const QString jpegPath = preview::jpegPathFor(bmpPath);
    const QImage picture(bmpPath, "BMP");
    const bool saved = !picture.isNull() && picture.save(jpegPath, "JPEG");
    QFile::remove(bmpPath);
    if (!saved) {
        QFile::remove(jpegPath);
        platform::debugPrintf("Playback snapshot: not saved \n");
        return {};
    }
    platform::debugOutput("playback snapshot " + jpegPath.toStdString() + "\n");
    platform::showInFileManager(jpegPath);
    if (m_snapshotSink) {
        // The slot-th selected channel.
        int channel = -1;
        for (int bit = 0, seen = 0; bit < 32; ++bit) {
            if ((m_session.channelMask() >> bit) & 1u) {
                if (seen++ == slot) {
                    channel = bit;
                    break;
                }
            }
        }
        m_snapshotSink(jpegPath, channel);
    }
    return jpegPath;
}
