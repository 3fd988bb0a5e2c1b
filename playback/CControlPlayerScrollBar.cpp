// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's row scroll bar: created hidden with range 0..1, page 2,
// position 0; kept 13 pixels wide at the right edge below the ruler; set
// by the number of channel rows. Its notifications come to windowProc.
#include "playback/CControlPlayer.h"

#include "widgets/CXeScrollBar.h"

void CControlPlayer::createRowScrollBar()
{
    m_rowScrollBar = std::make_unique<CXeScrollBar>();
    if (!m_rowScrollBar->Create(SBS_VERT, QRect(0, 0, 40, 60), this, kRowScrollBarId)) {
        m_rowScrollBar.reset();
        return;
    }
    applyRowScrollSetting();
}

void CControlPlayer::placeRowScrollBar()
{
    if (!m_rowScrollBar)
        return;
    const timeline::TimelineRect r = timelineGeometry().scrollBar();
    m_rowScrollBar->setGeometry(r.left, r.top, r.width(), r.height());
}

void CControlPlayer::applyRowScrollSetting()
{
    if (!m_rowScrollBar)
        return;
    ScrollInfo info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = m_rowScroll.minimum;
    info.nMax = m_rowScroll.maximum;
    info.nPage = static_cast<std::uint32_t>(m_rowScroll.page);
    info.nPos = m_rowScrollPos;
    m_rowScrollBar->SetScrollInfo(info, true);
    m_rowScrollBar->setVisible(m_rowScroll.visible);
}

void CControlPlayer::onDestroy()
{
    m_rowScrollBar.reset();
}
