// SPDX-License-Identifier: GPL-3.0-or-later
// Local recording of a video window: the record operations and the mark
// drawn on the picture while a recording runs.
#include "preview/CChannelEX.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

using namespace platform;

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
    if (m_recording.load())
        return 0;
    // No record file is written yet, so no recording is started.
    return kRecordFileNotCreated;
}

std::int32_t CChannelEX::StopLocalRecord()
{
    CAtomLock recordGuard(m_recordLock);
    m_recording.store(false);
    return 0;
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
