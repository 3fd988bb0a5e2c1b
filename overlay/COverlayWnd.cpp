// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/COverlayWnd.h"

#include <QPainter>

namespace {

constexpr int kMotionBytes = COverlayWnd::kMotionTextChars / 2;  // 32

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

}  // namespace

COverlayWnd::COverlayWnd()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

COverlayWnd::~COverlayWnd()
{
    destroyWindow();
}

void COverlayWnd::setStatusText(const QString& text)
{
    m_statusText = text;
    update();
}

void COverlayWnd::startEditing(std::uint32_t deviceHandle, int mode, int channel, std::uint32_t streamType,
                               int pictureWidth, int pictureHeight)
{
    m_deviceHandle = deviceHandle;
    m_mode = mode;
    m_cells.fill(0);
    m_masks.clear();
    m_textItems.clear();
    m_pictureWidth = pictureWidth;
    m_pictureHeight = pictureHeight;
    m_streamType = streamType;
    m_channel = channel;
    update();
}

void COverlayWnd::endEditing()
{
    m_channel = -1;
    update();
}

void COverlayWnd::clearOverlay()
{
    switch (m_mode) {
    case kMotionCells: m_cells.fill(0); break;
    case kPrivacyMasks: m_masks.clear(); break;
    case kTextItems: m_textItems.clear(); break;
    default: break;
    }
    update();
}

bool COverlayWnd::setMotionText(const QString& text)
{
    if (text.size() != kMotionTextChars)
        return false;
    std::array<std::uint8_t, kMotionBytes> bytes{};
    for (int i = 0; i < kMotionBytes; ++i) {
        const int high = hexDigitValue(text[2 * i]);
        const int low = hexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    for (int c = 0; c < kCellCount; ++c)
        m_cells[c] = (bytes[c / 8] >> (c % 8)) & 1;
    update();
    return true;
}

QString COverlayWnd::motionText() const
{
    std::array<std::uint8_t, kMotionBytes> bytes{};
    for (int c = 0; c < kCellCount; ++c)
        if (m_cells[c])
            bytes[c / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
    static const char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(kMotionTextChars);
    for (std::uint8_t b : bytes) {
        text += QLatin1Char(kDigits[b >> 4]);
        text += QLatin1Char(kDigits[b & 0xF]);
    }
    return text;
}

void COverlayWnd::setCell(int index, bool on)
{
    if (index >= 0 && index < kCellCount)
        m_cells[index] = on ? 1 : 0;
}

bool COverlayWnd::cell(int index) const
{
    return index >= 0 && index < kCellCount && m_cells[index] != 0;
}

void COverlayWnd::setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom, std::int32_t referenceWidth, std::int32_t referenceHeight)
{
    // With the 8-pixel grid the page's left edge is 8 pixels right of ours.
    if (m_alignPixels == 8 && left >= 8)
        left -= 8;
    if ((left == 0 && right == 0) || (top == 0 && bottom == 0))
        return;
    // A mask already set keeps its picture rectangle; only its place in the
    // window is recomputed once the window draws masks.
    if (index < m_masks.size())
        return;
    m_masks.push_back({left, top, right, bottom, referenceWidth, referenceHeight});
    update();
}

QString COverlayWnd::maskText(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_masks.size())
        return QStringLiteral("0_0_0_0");
    const Mask& m = m_masks[static_cast<std::size_t>(index)];
    const int left = m.left + (m_alignPixels == 8 ? 8 : 0);
    return QStringLiteral("%1_%2_%3_%4").arg(left).arg(m.top).arg(m.right - m.left).arg(m.bottom - m.top);
}

void COverlayWnd::setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                              std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x,
                              std::int32_t y)
{
    if (m_alignPixels == 8 && x >= 8)
        x -= 8;
    m_textItems[index] = {text, packedPair, visible, referenceWidth, referenceHeight, x, y};
    update();
}

QString COverlayWnd::textItemText(std::uint32_t index) const
{
    const auto it = m_textItems.find(index);
    const int x = it == m_textItems.end() ? 0 : it->second.x;
    const int y = it == m_textItems.end() ? 0 : it->second.y;
    return QStringLiteral("%1_%2_%3").arg(m_textItems.size()).arg(x).arg(y);
}

void COverlayWnd::setAlignPixels(std::uint16_t pixels)
{
    if (pixels != 0)
        m_alignPixels = pixels;
}

void COverlayWnd::onDestroy()
{
    endEditing();
}

void COverlayWnd::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1b, 0x1b, 0x1b));
    if (!m_statusText.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(QRect(width() / 3, height() / 3, width() / 3, height() / 3), Qt::AlignCenter,
                         m_statusText);
    }
}
