// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/CMemDC.h"

#include <QPaintDevice>

namespace {

QRect targetBounds(QPainter* target)
{
    if (target->hasClipping())
        return target->clipBoundingRect().toAlignedRect();
    QPaintDevice* device = target->device();
    return device ? QRect(0, 0, device->width(), device->height()) : QRect();
}

}  // namespace

CMemDC::CMemDC(QPainter* target, const QRect& rect, Start start, std::optional<QColor> background)
    : m_target(target), m_rect(rect.isEmpty() ? targetBounds(target) : rect)
{
    QPaintDevice* device = target->device();
    m_offScreen = device && device->devType() != QInternal::Printer && !m_rect.isEmpty();
    if (!m_offScreen)
        return;
    const qreal ratio = device->devicePixelRatioF();
    m_pixmap = QPixmap(m_rect.size() * ratio);
    m_pixmap.setDevicePixelRatio(ratio);
    if (start == Start::TargetPixels)
        m_pixmap.fill(Qt::transparent);
    else
        m_pixmap.fill(background.value_or(target->background().color()));
    m_painter.begin(&m_pixmap);
    m_painter.setFont(target->font());
    m_painter.setRenderHints(target->renderHints());
    // Drawing uses the target's coordinates.
    m_painter.translate(-m_rect.topLeft());
}

CMemDC::~CMemDC()
{
    if (!m_offScreen)
        return;
    m_painter.end();
    m_target->drawPixmap(m_rect.topLeft(), m_pixmap);
}
