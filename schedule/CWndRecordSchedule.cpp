// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/CWndRecordSchedule.h"

#include <QPainter>

CWndRecordSchedule::CWndRecordSchedule()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CWndRecordSchedule::~CWndRecordSchedule()
{
    destroyWindow();
}

int CWndRecordSchedule::setSchedule(int mode, const QString& /*text*/)
{
    if (mode != 0 && mode != 1)
        return kBadMode;
    setMode(mode);
    // Loading a schedule selects the brush of its recording type.
    selectBrush(mode == 0 ? 2 : 1);
    return kLoaded;
}

QString CWndRecordSchedule::schedule() const
{
    return {};
}

void CWndRecordSchedule::setMode(int mode)
{
    if (mode == 0 || mode == 1)
        m_mode = mode;
    update();
}

void CWndRecordSchedule::selectBrush(int type)
{
    m_paintType = (type == 1 || type == 2) ? type : 0;
    update();
}

void CWndRecordSchedule::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}
