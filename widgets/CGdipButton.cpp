// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CGdipButton.h"

#include "widgets/CGdipButtonImage.h"

#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolTip>

namespace {

platform::WindowHandle parentHandle(const QWidget* widget)
{
    const auto* parent = dynamic_cast<const platform::CWnd*>(widget->parentWidget());
    return parent ? parent->handle() : 0;
}

}  // namespace

CGdipButton::CGdipButton()
{
    // Hover is followed from plain moves too, not only from enter events.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

CGdipButton::~CGdipButton() = default;

bool CGdipButton::SetImages(const QString& standard, const QString& hot, const QString& pressed,
                            const QString& disabled)
{
    return LoadSet(m_images, {standard, hot, pressed, disabled});
}

bool CGdipButton::SetAltImages(const QString& standard, const QString& hot, const QString& pressed,
                               const QString& disabled)
{
    return LoadSet(m_altImages, {standard, hot, pressed, disabled});
}

bool CGdipButton::LoadSet(ImageSet& set, const std::array<QString, kStateCount>& names)
{
    bool ok = true;
    for (int state = 0; state < kStateCount && ok; ++state) {
        set[state].surface = QImage();
        if (names[state].isEmpty())
            set[state].bitmap.Empty();
        else
            ok = set[state].bitmap.Load(names[state], devicePixelRatioF());
    }
    update();
    return ok;
}

bool CGdipButton::HasImage(State state, bool alternate) const
{
    return (alternate ? m_altImages : m_images)[state].bitmap.IsLoaded();
}

bool CGdipButton::EnableToggle(bool enable)
{
    if (!enable) {
        m_toggle = false;
        m_toggledOn = false;
        update();
        return true;
    }
    // Without a pressed image a press would not show, so no toggle either.
    if (!HasImage(Pressed))
        return false;
    m_toggle = true;
    m_toggledOn = true;
    update();
    return true;
}

void CGdipButton::SetToggledOn(bool on)
{
    if (!m_toggle || m_toggledOn == on)
        return;
    m_toggledOn = on;
    update();
}

void CGdipButton::SetToolTipText(const QString& text, bool activate)
{
    if (text.isEmpty())
        return;
    m_toolTipText = text;
    m_toolTipActive = activate;
    if (!activate && QToolTip::isVisible() && underMouse())
        QToolTip::hideText();
}

void CGdipButton::SetGrey(bool grey)
{
    if (m_grey == grey)
        return;
    m_grey = grey;
    update();
}

void CGdipButton::SetWindowText(const QString& text)
{
    if (m_text == text)
        return;
    m_text = text;
    update();
}

void CGdipButton::CopyBackground(QPainter* parentPainter)
{
    if (parentPainter == nullptr || !parentPainter->isActive())
        return;
    QPaintDevice* device = parentPainter->device();
    // The painter's device transform takes parent coordinates to the
    // device's pixels (window origin and pixel ratio included).
    const QRect pixels = parentPainter->deviceTransform().mapRect(QRectF(geometry())).toAlignedRect();
    if (device->devType() == QInternal::Image) {
        const auto* image = static_cast<const QImage*>(device);
        if (image->rect().contains(pixels))
            TakeBackground(image->copy(pixels), image->devicePixelRatio());
    } else if (device->devType() == QInternal::Pixmap) {
        const auto* pixmap = static_cast<const QPixmap*>(device);
        if (pixmap->rect().contains(pixels))
            TakeBackground(pixmap->copy(pixels).toImage(), pixmap->devicePixelRatio());
    }
    // A widget's own surface cannot be read back while it paints: ignored.
}

void CGdipButton::CopyBackground(const QImage& parentPicture, QPoint origin)
{
    const qreal ratio = parentPicture.devicePixelRatio();
    const QRectF logical(geometry().translated(-origin));
    const QRect pixels = QRectF(logical.topLeft() * ratio, logical.size() * ratio).toAlignedRect();
    if (!parentPicture.isNull() && parentPicture.rect().contains(pixels))
        TakeBackground(parentPicture.copy(pixels), ratio);
}

void CGdipButton::TakeBackground(QImage copy, qreal ratio)
{
    if (copy.isNull())
        return;
    copy = copy.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    copy.setDevicePixelRatio(ratio);
    if (copy == m_background && ratio == m_background.devicePixelRatio())
        return;
    m_background = std::move(copy);
    DropSurfaces();
    // The parent paints below every repaint of the button; only a changed
    // background asks for one more.
    if (!m_painting)
        update();
}

CGdipButton::State CGdipButton::DrawnState() const
{
    if (m_grey)
        return Disabled;
    if (m_drawnPressed)
        return Pressed;
    if (m_hover)
        return Hot;
    return Standard;
}

bool CGdipButton::DrawnAlternate() const
{
    return m_toggledOn;
}

void CGdipButton::GrabParentBackground()
{
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    if (QWidget* parent = parentWidget()) {
        // The parent's own painting only: with its children the button
        // would render itself while it paints.
        parent->render(&image, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
    }
    if (m_background.isNull())  // the parent may have handed it over meanwhile
        m_background = std::move(image);
}

void CGdipButton::ComposeSurfaces()
{
    if (m_background.isNull())
        GrabParentBackground();
    for (ImageSet* set : {&m_images, &m_altImages}) {
        for (StateImage& state : *set) {
            if (state.bitmap.IsLoaded() && state.surface.isNull())
                state.surface = widgets::composeButtonState(m_background, state.bitmap.Image());
        }
    }
}

void CGdipButton::DropSurfaces()
{
    for (ImageSet* set : {&m_images, &m_altImages}) {
        for (StateImage& state : *set)
            state.surface = QImage();
    }
}

const QImage* CGdipButton::SurfaceFor(State state, bool alternate) const
{
    // The alternate picture of the state, else the alternate standard one,
    // then the same from the standard set: a state without an image of its
    // own looks like the standard state.
    const auto pick = [](const ImageSet& set, State s) -> const QImage* {
        return set[s].surface.isNull() ? nullptr : &set[s].surface;
    };
    const QImage* surface = nullptr;
    if (alternate)
        surface = pick(m_altImages, state) ? pick(m_altImages, state) : pick(m_altImages, Standard);
    if (!surface)
        surface = pick(m_images, state) ? pick(m_images, state) : pick(m_images, Standard);
    return surface;
}

void CGdipButton::paintEvent(QPaintEvent*)
{
    m_painting = true;
    ComposeSurfaces();
    m_painting = false;

    QPainter painter(this);
    if (const QImage* surface = SurfaceFor(DrawnState(), DrawnAlternate()))
        painter.drawImage(QPointF(0, 0), *surface);
    else
        painter.drawImage(QPointF(0, 0), m_background);
    if (!m_text.isEmpty()) {
        painter.setPen(isEnabled() ? palette().color(QPalette::Active, QPalette::WindowText)
                                   : palette().color(QPalette::Disabled, QPalette::Text));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, m_text);
    }
}

void CGdipButton::SetDrawnPressed(bool pressed)
{
    if (m_drawnPressed == pressed)
        return;
    m_drawnPressed = pressed;
    // A grey button is drawn disabled, never pressed: no flip, no report.
    if (pressed && !m_grey) {
        if (m_toggle)
            m_toggledOn = !m_toggledOn;
        if (const platform::WindowHandle parent = parentHandle(this))
            platform::postMessage(parent, static_cast<std::uint32_t>(controlId()), m_toggledOn ? 1 : 0, 0);
    }
    update();
}

void CGdipButton::Press(const QPointF& at)
{
    m_buttonDown = true;
    SetDrawnPressed(rect().contains(at.toPoint()));
}

void CGdipButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CWnd::mousePressEvent(event);
        return;
    }
    Press(event->position());
}

void CGdipButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second click of a double click is a press like the first.
    if (event->button() != Qt::LeftButton) {
        CWnd::mouseDoubleClickEvent(event);
        return;
    }
    Press(event->position());
}

void CGdipButton::mouseMoveEvent(QMouseEvent* event)
{
    const bool over = rect().contains(event->position().toPoint());
    if (over && !m_hover)
        StartHover();
    // While held down the button keeps the mouse and hears of no leave:
    // hover ends when the mouse is seen outside.
    if (!over && m_hover) {
        m_hover = false;
        update();
    }
    // Held down, the button looks pressed only while the mouse is over it.
    if (m_buttonDown)
        SetDrawnPressed(over);
}

void CGdipButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_buttonDown) {
        CWnd::mouseReleaseEvent(event);
        return;
    }
    const bool clicked = m_drawnPressed;
    m_buttonDown = false;
    SetDrawnPressed(false);
    if (clicked && m_clickHandler) {
        // The handler may replace itself; run a copy.
        const std::function<void()> handler = m_clickHandler;
        handler();
    }
}

void CGdipButton::enterEvent(QEnterEvent*)
{
    if (!m_hover)
        StartHover();
}

void CGdipButton::leaveEvent(QEvent*)
{
    if (!m_hover)
        return;
    m_hover = false;
    update();
}

void CGdipButton::StartHover()
{
    m_hover = true;
    update();
    ShowToolTip();
}

void CGdipButton::ShowToolTip()
{
    if (!m_toolTipActive || m_toolTipText.isEmpty())
        return;
    // Shown at once, hidden when the mouse leaves the button, and after ten
    // times the automatic delay at the latest.
    QToolTip::showText(QCursor::pos(), m_toolTipText, this, rect(), kToolTipDelayMs * 10);
}

bool CGdipButton::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::ToolTip:
        // Qt's own delayed tooltip request, when the mouse rests again.
        ShowToolTip();
        return true;
    case QEvent::Resize:
    case QEvent::Move:
        // What lies under the button changed: the parent hands it over again
        // when it paints, else it is rendered anew.
        m_background = QImage();
        DropSurfaces();
        break;
    default:
        break;
    }
    return CWnd::event(e);
}

void CGdipButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        // A disabled window gets no more mouse input to end these.
        m_hover = false;
        m_buttonDown = false;
        m_drawnPressed = false;
    }
    if (event->type() == QEvent::EnabledChange)
        update();
    CWnd::changeEvent(event);
}
