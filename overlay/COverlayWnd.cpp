// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay window's page data, background, size and mouse input. The
// stream and the drawing on pictures are in COverlayWndStream.cpp.
#include "overlay/COverlayWnd.h"

#include "overlay/OverlayMessages.h"
#include "overlay/OverlayPainter.h"
#include "platform/Debug.h"
#include "widgets/LanguageTable.h"

#include <QDateTime>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

using namespace overlay;

namespace {

constexpr QRgb kBackgroundColour = 0xFF1B1B1Bu;
constexpr double kStatusFontMillimetres = 3.0;

}  // namespace

const char* COverlayWnd::statusKey(Status status)
{
    switch (status) {
    case kStatusOpening: return "IE_Open";
    case kStatusOpenFailed: return "IE_OpenFailed";
    case kStatusNetworkError: return "IE_NetworkError";
    case kStatusUnknownError: return "IE_UnkownErr";
    case kStatusDeviceOffline: return "IE_DVRoffline";
    case kStatusNone:
    default: return "";
    }
}

COverlayWnd::COverlayWnd()
{
    setMouseTracking(true);
    publish();
}

COverlayWnd::~COverlayWnd()
{
    destroyWindow();
}

bool COverlayWnd::onCreate()
{
    if (!CRenderTargetWnd::onCreate())
        return false;
    m_postHandle.store(handle());
    m_model.setWindowSize(width(), height());
    publish();
    return true;
}

void COverlayWnd::onDestroy()
{
    endEditing();
    m_postHandle.store(0);
    CRenderTargetWnd::onDestroy();
}

void COverlayWnd::setStatus(Status status)
{
    if (m_status.exchange(status) != status)
        platform::debugPrintf("overlay status %s\n", status == kStatusNone ? "none" : statusKey(status));
    if (status != kStatusNone)
        clearPicture();  // the text shows where no picture is drawn
    update();
}

QString COverlayWnd::statusText() const
{
    const char* key = statusKey(status());
    LanguageTable* language = m_language.load();
    if (key[0] == '\0' || language == nullptr)
        return QString();
    return language->lookup(QString::fromLatin1(key));
}

void COverlayWnd::publish()
{
    auto next = std::make_shared<const OverlaySnapshot>(m_model.snapshot());
    {
        std::lock_guard<std::mutex> guard(m_snapshotLock);
        m_snapshot.swap(next);
    }
    // The previous snapshot is released here, outside the lock (the drawing
    // may still hold it).
    update();
}

std::shared_ptr<const OverlaySnapshot> COverlayWnd::snapshot() const
{
    std::lock_guard<std::mutex> guard(m_snapshotLock);
    return m_snapshot;
}

void COverlayWnd::clearOverlay()
{
    m_model.clearOverlay();
    publish();
}

bool COverlayWnd::setMotionText(const QString& text)
{
    if (!m_model.setMotionText(text))
        return false;
    publish();
    return true;
}

void COverlayWnd::setCell(int index, bool on)
{
    m_model.setCell(index, on);
    publish();
}

bool COverlayWnd::setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                          std::int32_t bottom, std::int32_t referenceWidth, std::int32_t referenceHeight)
{
    if (!m_model.setMask(index, left, top, right, bottom, referenceWidth, referenceHeight))
        return false;
    publish();
    return true;
}

bool COverlayWnd::setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                              std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x,
                              std::int32_t y)
{
    // The recorder draws its own clock for item 1 and the page may give no
    // text for it: the editor shows the time now, so that there is
    // something to see and take hold of.
    const QString shown = index == 1 && text.isEmpty()
                              ? QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                              : text;
    if (!m_model.setTextItem(index, packedPair, shown, visible, referenceWidth, referenceHeight, x, y))
        return false;
    publish();
    return true;
}

void COverlayWnd::setAlignPixels(std::uint16_t pixels)
{
    m_model.setAlignPixels(pixels);
}

platform::LRESULT COverlayWnd::windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam)
{
    switch (msg) {
    case WM_OVERLAY_STATUS:
        onStatusChanged(static_cast<std::uint32_t>(wParam));
        return 0;
    case WM_OVERLAY_MEASURE:
        onMeasureRequested();
        return 0;
    case WM_OVERLAY_STREAM_ENDED:
        onStreamEndedPosted(static_cast<std::uint32_t>(wParam));
        return 0;
    default:
        return CRenderTargetWnd::windowProc(msg, wParam, lParam);
    }
}

void COverlayWnd::onMeasureRequested()
{
    m_measureRequested.store(false);
    if (!m_model.measureTextItems(m_drawnWidth.load(), m_drawnHeight.load(), &measureTextItem))
        return;
    QByteArray measured;
    for (const auto& [index, item] : m_model.textItems())
        if (item.extentKnown)
            measured += ' ' + QByteArray::number(index);
    platform::debugPrintf("overlay items measured:%s\n", measured.constData());
    publish();
}

void COverlayWnd::paintNoPicture(QPainter& painter)
{
    // Drawn off screen first, then shown in one step.
    const qreal ratio = devicePixelRatioF();
    QImage buffer((QSizeF(size()) * ratio).toSize(), QImage::Format_RGB32);
    if (buffer.isNull())
        return;
    buffer.setDevicePixelRatio(ratio);
    buffer.fill(QColor::fromRgb(kBackgroundColour));
    const QString text = statusText();
    if (!text.isEmpty()) {
        QPainter offScreen(&buffer);
        QFont font(QStringLiteral("Arial"));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(std::max(1, qRound(kStatusFontMillimetres / 25.4 * logicalDpiY())));
        offScreen.setFont(font);
        offScreen.setPen(Qt::white);
        offScreen.drawText(QRect(width() / 3, height() / 3, width() / 3, height() / 3), Qt::AlignCenter, text);
    }
    painter.drawImage(0, 0, buffer);
}

void COverlayWnd::resizeEvent(QResizeEvent* event)
{
    CRenderTargetWnd::resizeEvent(event);
    m_model.setWindowSize(event->size().width(), event->size().height());
    publish();
}

void COverlayWnd::applyCursor(Cursor cursor)
{
    switch (cursor) {
    case Cursor::Arrow: setCursor(Qt::ArrowCursor); break;
    case Cursor::Cross: setCursor(Qt::CrossCursor); break;
    case Cursor::Hand: setCursor(Qt::PointingHandCursor); break;
    case Cursor::Keep:
    default: break;
    }
}

void COverlayWnd::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEditable())
        return;
    applyCursor(m_model.press(event->position().toPoint()));
    publish();
}

void COverlayWnd::mouseMoveEvent(QMouseEvent* event)
{
    if (!isEditable())
        return;
    applyCursor(m_model.move(event->position().toPoint(), event->buttons().testFlag(Qt::LeftButton)));
    if (m_model.isPressed())
        publish();
}

void COverlayWnd::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEditable())
        return;
    m_model.release(event->position().toPoint());
    publish();
}

void COverlayWnd::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEditable())
        return;
    m_model.doubleClick(event->position().toPoint());
    publish();
}

void COverlayWnd::leaveEvent(QEvent* event)
{
    CRenderTargetWnd::leaveEvent(event);
    m_model.leave();
    publish();
}
