// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CBitmapSlider.h"

#include "platform/Messages.h"
#include "widgets/CBitmapSliderImage.h"
#include "widgets/CGdiPlusBitmapResource.h"
#include "widgets/CMemDC.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

CBitmapSlider::CBitmapSlider()
{
    setFocusPolicy(Qt::StrongFocus);
}

CBitmapSlider::~CBitmapSlider() = default;

widgets::SliderGeometry CBitmapSlider::Geometry() const
{
    widgets::SliderGeometry g;
    g.min = m_min;
    g.max = m_max;
    g.width = width();
    g.height = height();
    const QSize thumb = m_thumb.loaded ? m_thumb.image.deviceIndependentSize().toSize() : QSize();
    g.thumbWidth = thumb.width();
    g.thumbHeight = thumb.height();
    g.marginLeft = m_marginLeft;
    g.marginTop = m_marginTop;
    g.marginRight = m_marginRight;
    g.marginBottom = m_marginBottom;
    g.vertical = m_vertical;
    return g;
}

void CBitmapSlider::SetRange(int min, int max, bool redraw)
{
    m_min = min;
    m_max = max;
    m_pos = std::clamp(m_pos, std::min(m_min, m_max), std::max(m_min, m_max));
    if (redraw)
        update();
}

void CBitmapSlider::SetPos(int pos)
{
    m_pos = std::clamp(pos, std::min(m_min, m_max), std::max(m_min, m_max));
    update();
}

int CBitmapSlider::SetPageSize(int size)
{
    const int old = m_page;
    m_page = size;
    return old;
}

void CBitmapSlider::SetMargins(int left, int top, int right, int bottom)
{
    m_marginLeft = left;
    m_marginTop = top;
    m_marginRight = right;
    m_marginBottom = bottom;
    update();
}

void CBitmapSlider::SetVertical(bool vertical)
{
    m_vertical = vertical;
    update();
}

bool CBitmapSlider::LoadImage(SliderImage& into, const QString& name, std::optional<QColor> colour, qreal ratio)
{
    into = SliderImage();
    if (name.isEmpty())
        return true;
    CGdiPlusBitmapResource bitmap;
    if (!bitmap.Load(name, ratio))
        return false;
    into.image = bitmap.Image();
    into.masked = widgets::sliderMaskedImage(into.image, widgets::sliderTransparentColour(into.image, colour));
    into.loaded = true;
    return true;
}

bool CBitmapSlider::SetTrackBitmaps(const QString& track, const QString& active, bool transparent,
                                    std::optional<QColor> trackColour, std::optional<QColor> activeColour)
{
    const qreal ratio = devicePixelRatioF();
    const bool ok = LoadImage(m_track, track, trackColour, ratio) && !track.isEmpty() &&
                    LoadImage(m_activeTrack, active, activeColour, ratio);
    if (!ok) {
        m_track = SliderImage();
        m_activeTrack = SliderImage();
    }
    m_transparentTrack = transparent;
    update();
    return ok;
}

bool CBitmapSlider::SetThumbBitmaps(const QString& thumb, const QString& active, bool transparent,
                                    std::optional<QColor> thumbColour, std::optional<QColor> activeColour)
{
    const qreal ratio = devicePixelRatioF();
    const bool ok = LoadImage(m_thumb, thumb, thumbColour, ratio) && !thumb.isEmpty() &&
                    LoadImage(m_activeThumb, active, activeColour, ratio);
    if (!ok) {
        m_thumb = SliderImage();
        m_activeThumb = SliderImage();
    }
    m_transparentThumb = transparent;
    update();
    return ok;
}

void CBitmapSlider::DrawFocusRect(bool draw, bool redraw)
{
    m_drawFocusRect = draw;
    if (redraw)
        update();
}

void CBitmapSlider::Enable(bool enable)
{
    m_enabled = enable;
    if (!enable)
        m_dragging = false;
    update();
}

void CBitmapSlider::Notify(std::uint32_t message)
{
    const auto* parent = dynamic_cast<const platform::CWnd*>(parentWidget());
    if (parent && parent->handle() != 0)
        platform::postMessage(parent->handle(), message, static_cast<platform::WPARAM>(controlId()), m_pos);
}

// Painting. The desktop form of this slider saved the pixels under the
// thumb and put them back before drawing it elsewhere, and removed an old
// focus rectangle by drawing it again; here every paint draws the whole
// slider over the parent's fresh painting, so neither is needed.
void CBitmapSlider::paintEvent(QPaintEvent*)
{
    QPainter target(this);
    const bool seeThrough = m_transparentTrack || !m_track.loaded;
    CMemDC mem(&target, rect(), seeThrough ? CMemDC::Start::TargetPixels : CMemDC::Start::Background,
               palette().color(QPalette::Window));
    QPainter& painter = *mem.painter();
    const widgets::SliderGeometry geometry = Geometry();
    const int centre = geometry.pixelOfPos(m_pos);
    if (m_track.loaded)
        DrawTrack(painter, centre);
    if (m_enabled && m_thumb.loaded)
        DrawThumb(painter, centre);
    if (m_drawFocusRect && m_hasFocus && m_enabled) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CBitmapSlider::DrawTrack(QPainter& painter, int centre)
{
    const auto picture = [this](const SliderImage& image) -> const QImage& {
        return m_transparentTrack ? image.masked : image.image;
    };
    const QImage& track = picture(m_track);
    const QSizeF size = track.deviceIndependentSize();
    if (!m_activeTrack.loaded || !m_enabled) {
        painter.drawImage(QPointF(0, 0), track);
        return;
    }
    // The part before the thumb centre from the active track, the rest from
    // the plain one.
    const QImage& active = picture(m_activeTrack);
    const QRectF before = m_vertical ? QRectF(0, 0, size.width(), centre) : QRectF(0, 0, centre, size.height());
    const QRectF after = m_vertical ? QRectF(0, centre, size.width(), size.height() - centre)
                                    : QRectF(centre, 0, size.width() - centre, size.height());
    const auto drawPart = [&painter](const QImage& image, const QRectF& part) {
        const qreal ratio = image.devicePixelRatio();
        const QRectF source(part.topLeft() * ratio, part.size() * ratio);
        painter.drawImage(part, image, source);
    };
    drawPart(active, before.intersected(QRectF(QPointF(0, 0), active.deviceIndependentSize())));
    drawPart(track, after.intersected(QRectF(QPointF(0, 0), size)));
}

void CBitmapSlider::DrawThumb(QPainter& painter, int centre)
{
    const SliderImage& thumb = m_dragging && m_activeThumb.loaded ? m_activeThumb : m_thumb;
    const QImage& image = m_transparentThumb ? thumb.masked : thumb.image;
    const QSize size = m_thumb.image.deviceIndependentSize().toSize();
    const QPoint at = m_vertical ? QPoint(m_marginLeft, centre - size.height() / 2)
                                 : QPoint(centre - size.width() / 2, m_marginTop);
    painter.drawImage(at, image);
}

void CBitmapSlider::DragTo(const QPointF& mouse)
{
    const widgets::SliderGeometry geometry = Geometry();
    const QPoint point = mouse.toPoint();
    const int centre = geometry.dragCentre(geometry.along(point.x(), point.y()), m_dragOffset);
    if (centre == geometry.pixelOfPos(m_pos))
        return;
    SetPos(geometry.posOfPixel(centre));
    Notify(platform::WM_SLIDER_DRAG);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event)
{
    if (!m_enabled || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // Qt keeps sending the mouse to the widget pressed until the release,
    // which is what capturing it did on the desktop.
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const widgets::SliderGeometry geometry = Geometry();
    const QPoint point = event->position().toPoint();
    m_dragOffset = geometry.dragOffset(geometry.along(point.x(), point.y()), m_pos);
    DragTo(event->position());
    update();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_enabled || !m_dragging)
        return;
    DragTo(event->position());
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_enabled || !m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    update();
    Notify(platform::WM_SLIDER_POS);
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event)
{
    if (!m_enabled) {
        event->ignore();
        return;
    }
    // Tab never arrives here: Qt moves the focus with it first.
    int pos = m_pos;
    switch (event->key()) {
    case Qt::Key_PageUp: pos = m_pos - m_page; break;
    case Qt::Key_PageDown: pos = m_pos + m_page; break;
    case Qt::Key_End: pos = m_max; break;
    case Qt::Key_Home: pos = m_min; break;
    case Qt::Key_Left:
    case Qt::Key_Up: pos = m_pos - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: pos = m_pos + 1; break;
    default:
        CWnd::keyPressEvent(event);
        return;
    }
    SetPos(pos);
    Notify(platform::WM_SLIDER_POS);
}

void CBitmapSlider::focusInEvent(QFocusEvent* event)
{
    m_hasFocus = true;
    update();
    CWnd::focusInEvent(event);
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event)
{
    m_hasFocus = false;
    update();
    CWnd::focusOutEvent(event);
}
