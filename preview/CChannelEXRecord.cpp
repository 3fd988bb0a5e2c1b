// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording of a video window: starting and stopping it, the write
// step of the stream callback, suspending it while the stream reconnects,
// and the mark drawn on the picture while a recording runs.
#include "preview/CChannelEX.h"

#include "device/CommandEnvelope.h"
#include "device/SessionSettings.h"
#include "platform/Debug.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "preview/PreviewMessages.h"

#include "MIVU.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

using namespace platform;
using preview::LocalRecording;

namespace {

struct MarkFont {
    int height;  // character height in pixels
    int width;   // average character width in pixels; 0 keeps the face's own
};

// The mark's font size by picture height (and width for field pictures).
MarkFont markFontFor(int pictureWidth, int pictureHeight)
{
    switch (pictureHeight) {
    case 120:
    case 144:
        return {7, 5};
    case 240:
    case 288:
        return {15, pictureWidth == 704 ? 13 : 7};
    case 480:
    case 576:
        return {37, 13};
    default:
        return {30, 0};
    }
}

}  // namespace

std::int32_t CChannelEX::StartLocalRecord(const QString& recordRoot, const QString& deviceAddress)
{
    setRecordTarget(recordRoot, deviceAddress);
    if (m_playHandle.load() == 0)
        return kNoPlayHandleToRecord;
    {
        CAtomLock recordGuard(m_recordLock);
        if (m_recording.load())
            return 0;
        const bool created = m_localRecording.start(recordRoot, deviceAddress, m_devicePort.load(), m_channel.load(),
                                                    [this] { return packMinutesSetting(); });
        if (!created)
            return kRecordFileNotCreated;
        m_recording.store(true);
    }
    // The red mark shows on the picture while the recording runs.
    if (m_decoderHandle.load() != 0 || QueryDecoder())
        MIVU_RegisterOSDCallBack(m_decoderHandle.load(), &CChannelEX::OsdCallback, this);
    requestKeyFrame();
    return 0;
}

std::int32_t CChannelEX::StopLocalRecord()
{
    std::int32_t result = 0;
    {
        CAtomLock recordGuard(m_recordLock);
        m_recordResumePending.store(false);
        if (!m_recording.exchange(false))
            return 0;
        result = m_localRecording.stop();
    }
    if (const std::uint32_t decoder = m_decoderHandle.load(); decoder != 0)
        MIVU_RegisterOSDCallBack(decoder, nullptr, nullptr);
    return result;
}

void CChannelEX::writeRecordBlock(const std::uint8_t* data, std::uint32_t length)
{
    LocalRecording::WriteOutcome outcome = LocalRecording::WriteOutcome::NoFile;
    {
        CAtomLock recordGuard(m_recordLock);
        if (!m_recording.load() || !m_localRecording.isOpen())
            return;
        outcome = m_localRecording.write(data, length);
    }
    if (outcome == LocalRecording::WriteOutcome::Split)
        requestKeyFrame();
    else if (outcome == LocalRecording::WriteOutcome::Stopped)
        onRecordWriteFailed();
}

void CChannelEX::onRecordWriteFailed()
{
    {
        CAtomLock recordGuard(m_recordLock);
        m_recordResumePending.store(false);
        if (!m_recording.exchange(false))
            return;
    }
    if (const std::uint32_t decoder = m_decoderHandle.load(); decoder != 0)
        MIVU_RegisterOSDCallBack(decoder, nullptr, nullptr);
    const int channel = m_channel.load();
    debugPrintf("Preview, Channel %d, local record stopped: the file could not be written \n", channel);
    postToParent(WM_CHANNEL_RECORD_STATE, static_cast<WPARAM>(channel), 0);
}

void CChannelEX::suspendRecordingForReconnect()
{
    CAtomLock recordGuard(m_recordLock);
    if (!m_recording.load())
        return;
    // The file ends where the stream broke; the flag stays set so that the
    // next first frame starts a new file.
    StopLocalRecord();
    m_recording.store(true);
    m_recordResumePending.store(true);
}

void CChannelEX::resumeSuspendedRecording()
{
    bool resumed = false;
    {
        CAtomLock recordGuard(m_recordLock);
        if (!m_recordResumePending.exchange(false) || !m_recording.load())
            return;
        // The recording flag stays set while the next file is created, so
        // that nobody sees the recording stop and start again in between.
        resumed = m_playHandle.load() != 0 &&
                  m_localRecording.start(m_recordRoot, m_deviceAddress, m_devicePort.load(), m_channel.load(),
                                         [this] { return packMinutesSetting(); });
        if (!resumed)
            m_recording.store(false);
    }
    if (!resumed) {
        // The new file could not be created: the recording is over.
        postToParent(WM_CHANNEL_RECORD_STATE, static_cast<WPARAM>(m_channel.load()), 0);
        return;
    }
    if (m_decoderHandle.load() != 0 || QueryDecoder())
        MIVU_RegisterOSDCallBack(m_decoderHandle.load(), &CChannelEX::OsdCallback, this);
    requestKeyFrame();
}

int CChannelEX::packMinutesSetting() const
{
    QString address;
    {
        CAtomLock recordGuard(m_recordLock);
        address = m_deviceAddress;
    }
    const QString iniPath = SessionSettings::filePathFor(address, static_cast<std::uint32_t>(m_devicePort.load()));
    const std::string text = readProfileString(toUtf8(iniPath), SessionSettings::kSection, "record_pack_time", {},
                                               SessionSettings::kPackTimeChars - 1);
    return LocalRecording::packMinutesFrom(fromUtf8(text));
}

void CChannelEX::requestKeyFrame()
{
    CommandEnvelope command("REQUESTIFRAME");
    command.uint("HPLAY", m_deviceHandle.load())
        .uint("STREAMTYPE", static_cast<std::uint32_t>(m_streamType.load()))
        .uint("CHANNEL", 1u << (static_cast<unsigned>(m_channel.load()) & 31u));
    sendCommand(command);
}

void CChannelEX::drawRecordingMark(QPainter& painter, int pictureWidth, int pictureHeight)
{
    const bool proportional = m_shapeMode.load() == 1 && pictureWidth > 0 && pictureHeight > 0;
    const QRect mark = proportional ? QRect(QPoint(2, 1), QPoint(21, 50)) : QRect(QPoint(4, 10), QPoint(23, 59));
    m_markLeft.store(mark.left());
    m_markTop.store(mark.top());
    m_markRight.store(mark.right() + 1);
    m_markBottom.store(mark.bottom() + 1);

    const MarkFont size = markFontFor(pictureWidth, pictureHeight);
    QFont font = painter.font();
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setWeight(QFont::Black);
    font.setPixelSize(size.height);
    if (size.width > 0) {
        // A face's average character is about half its height wide.
        font.setStretch(std::clamp(size.width * 200 / size.height, 1, 4000));
    }
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor(200, 10, 0));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(mark, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip, QStringLiteral("R"));
    painter.restore();
}

std::int32_t CChannelEX::OsdCallback(void* userData, void* drawContext, std::int32_t pictureWidth,
                                     std::int32_t pictureHeight)
{
    auto* self = static_cast<CChannelEX*>(userData);
    if (self == nullptr || drawContext == nullptr)
        return 0;
    self->m_pictureWidth.store(pictureWidth);
    self->m_pictureHeight.store(pictureHeight);
    if (self->m_recording.load())
        self->drawRecordingMark(*static_cast<QPainter*>(drawContext), pictureWidth, pictureHeight);
    return 0;
}
