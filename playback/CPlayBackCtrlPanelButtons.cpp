// SPDX-License-Identifier: GPL-3.0-or-later
// The bar's buttons: creation with their skins and tooltips, their places,
// which are enabled for the session's state, and the split, paging,
// full-screen and view-mode actions.
#include "playback/CPlayBackCtrlPanel.h"

#include "platform/Debug.h"
#include "platform/Messages.h"
#include "playback/PlaybackBarIds.h"
#include "preview/CChannelPanel.h"
#include "widgets/LanguageTable.h"

#include <QCursor>

using playback::kFast;
using playback::kPaused;
using playback::kPlaying;
using playback::kSingleFrame;
using playback::kSlow;
using playback::kStopped;

namespace {

struct ButtonSpec {
    int id;
    const char* skin;
    const char* toolTip;
    int width, height;
};

// In the order of CPlayBackCtrlPanel::Button.
constexpr ButtonSpec kButtonSpecs[] = {
    {playback_ids::kPlay, "PB_PLAY", "STR_Playing", 27, 25},
    {playback_ids::kPause, "PB_PAUSE", "IE_PlaybackPause", 27, 25},
    {playback_ids::kStop, "PB_STOP", "IE_PlaybackStop", 27, 25},
    {playback_ids::kSlow, "PB_SLOW", "IE_PlaybackSlow", 27, 25},
    {playback_ids::kFast, "PB_FAST", "IE_PlaybackSpeed", 27, 25},
    {playback_ids::kNextFrame, "PB_NEXTFRAME", "IE_PlaybackNextFrame", 27, 25},
    {playback_ids::kSnapshot, "PB_SNAPSHOT", "IE_CAPTURE_IMAGES", 27, 25},
    {playback_ids::kZoomIn, "PB_ZOOMIN", "IE_PlaybackBarZoomIn", 27, 25},
    {playback_ids::kZoomOut, "PB_ZOOMOUT", "IE_PlaybackBarZoomOut", 27, 25},
    {playback_ids::kVolume, "PB_VOLUME", "STR_PRE_VOLUME", 27, 25},
    {playback_ids::kMuted, "PB_MUTED", "STR_PRE_VOLUME", 27, 25},
    {playback_ids::kSplit4, "PB_SPLIT4", "STR_Four screen", 30, 26},
    {playback_ids::kSplit9, "PB_SPLIT9", "IE_Nine Channel", 30, 26},
    {playback_ids::kSplit16, "PB_SPLIT16", "STR_Sixteen screen", 30, 26},
    {playback_ids::kPrevious, "PB_PREV", "IE_PreChannel", 30, 26},
    {playback_ids::kNext, "PB_NEXT", "IE_Next Channel", 30, 26},
    {playback_ids::kFullScreen, "PB_FULLSCREEN", "IE_FullScreem", 30, 26},
    {playback_ids::kViewMode, "PB_VIEWMODE", "IE_ViewWindowMode", 27, 26},
};
static_assert(std::size(kButtonSpecs) == CPlayBackCtrlPanel::kButtonCount);

constexpr int kSliderWidth = 108;
constexpr int kSliderHeight = 18;

}  // namespace

bool CPlayBackCtrlPanel::createButton(CGdipButton& button, int id, const QString& skin, QSize size)
{
    if (!button.createWindow(this, QRect(QPoint(0, 0), size), id, true))
        return false;
    if (!button.SetImages(skin + QStringLiteral("_STD"), skin + QStringLiteral("_HOT"), skin + QStringLiteral("_DOWN"),
                          skin + QStringLiteral("_DIS")))
        platform::debugOutput("playback bar: skin " + skin.toStdString() + " missing\n");
    return true;
}

bool CPlayBackCtrlPanel::createButtons()
{
    for (int i = 0; i < kButtonCount; ++i) {
        const ButtonSpec& spec = kButtonSpecs[i];
        if (!createButton(m_buttons[static_cast<std::size_t>(i)], spec.id, QString::fromLatin1(spec.skin),
                          QSize(spec.width, spec.height)))
            return false;
    }
    button(kFullScreenButton).SetAltImages(QStringLiteral("PB_FULLSCREEN_ALT_STD"), QStringLiteral("PB_FULLSCREEN_ALT_HOT"),
                                           QStringLiteral("PB_FULLSCREEN_ALT_DOWN"),
                                           QStringLiteral("PB_FULLSCREEN_ALT_DIS"));
    button(kViewModeButton).SetAltImages(QStringLiteral("PB_VIEWMODE_ALT_STD"), QStringLiteral("PB_VIEWMODE_ALT_HOT"),
                                         QStringLiteral("PB_VIEWMODE_ALT_DOWN"), QStringLiteral("PB_VIEWMODE_ALT_DIS"));
    // The two toggles report through their id as a message (windowProc).
    for (Button toggle : {kFullScreenButton, kViewModeButton}) {
        button(toggle).EnableToggle();
        button(toggle).SetToggledOn(false);
    }
    button(kMutedButton).hide();
    button(kPlayButton).setClickHandler([this] { m_session.play(); });
    button(kPauseButton).setClickHandler([this] { m_session.pause(); });
    button(kStopButton).setClickHandler([this] { m_session.stopPlay(); });
    button(kSlowButton).setClickHandler([this] { m_session.slow(); });
    button(kFastButton).setClickHandler([this] { m_session.fast(); });
    button(kNextFrameButton).setClickHandler([this] { m_session.nextFrame(); });
    button(kSnapshotButton).setClickHandler([this] { takeSnapshot(); });
    button(kZoomInButton).setClickHandler([this] { zoomIn(); });
    button(kZoomOutButton).setClickHandler([this] { zoomOut(); });
    button(kVolumeButton).setClickHandler([this] { toggleMute(); });
    button(kMutedButton).setClickHandler([this] { toggleMute(); });
    button(kSplit4Button).setClickHandler([this] { splitTo(4); });
    button(kSplit9Button).setClickHandler([this] { splitTo(9); });
    button(kSplit16Button).setClickHandler([this] { splitTo(16); });
    button(kPreviousButton).setClickHandler([this] { previousPage(); });
    button(kNextButton).setClickHandler([this] { nextPage(); });

    if (!m_volumeSlider.createWindow(this, QRect(0, 0, kSliderWidth, kSliderHeight), playback_ids::kVolumeSlider,
                                     true))
        return false;
    m_volumeSlider.SetRange(0, 100);
    m_volumeSlider.SetPos(50);
    m_volumeSlider.SetPageSize(10);
    m_volumeSlider.SetMargins(1, 0, 1, 0);
    m_volumeSlider.DrawFocusRect(false);
    m_volumeSlider.SetTrackBitmaps(QStringLiteral("SLIDER_TRACK"), QStringLiteral("SLIDER_TRACK"), true);
    m_volumeSlider.SetThumbBitmaps(QStringLiteral("SLIDER_THUMB"), QStringLiteral("SLIDER_THUMB_ACTIVE"), true,
                                   QColor(255, 0, 189), QColor(255, 0, 189));
    updateButtons(false);
    showSplitButtons(m_session.channelCount());
    return true;
}

void CPlayBackCtrlPanel::refreshToolTips()
{
    if (!m_language || !isCreated())
        return;
    for (int i = 0; i < kButtonCount; ++i)
        m_buttons[static_cast<std::size_t>(i)].SetToolTipText(
            m_language->lookup(QString::fromLatin1(kButtonSpecs[i].toolTip)));
    if (m_fullScreen)
        button(kFullScreenButton).SetToolTipText(m_language->lookup(QStringLiteral("IE_ExitFullScreem")));
}

void CPlayBackCtrlPanel::layoutButtons()
{
    if (!isCreated())
        return;
    const int b = height(), r = width();
    const int top = b - 35;
    const int left[] = {145, 180, 215, 250, 285};
    for (int i = 0; i < 5; ++i)
        m_buttons[static_cast<std::size_t>(i)].setGeometry(left[i], top, 27, 25);
    button(kNextFrameButton).setGeometry(320, top + 2, 27, 25);
    button(kSnapshotButton).setGeometry(360, b - 36, 27, 25);
    button(kZoomInButton).setGeometry(395, b - 36, 27, 25);
    button(kZoomOutButton).setGeometry(430, b - 36, 27, 25);
    button(kVolumeButton).setGeometry(465, b - 36, 27, 25);
    button(kMutedButton).setGeometry(465, b - 36, 27, 25);
    m_volumeSlider.setGeometry(500, b - 28, kSliderWidth, kSliderHeight);
    const bool sliderRoom = r > 816 || (r > 782 && m_session.channelCount() < 5);
    m_volumeSlider.setVisible(sliderRoom);

    button(kFullScreenButton).setGeometry(r - 35, top, 30, 26);
    button(kViewModeButton).setGeometry(r - 68, top, 27, 26);
    // The shown split and paging buttons stand from the right: Next,
    // Previous, then the split buttons from the largest down.
    int x = r - 103;
    for (Button split : {kNextButton, kPreviousButton, kSplit16Button, kSplit9Button, kSplit4Button}) {
        if (button(split).isHidden())
            continue;
        button(split).setGeometry(x, top, 30, 26);
        x -= 36;
    }
}

void CPlayBackCtrlPanel::setButtonOn(Button which, bool on)
{
    CGdipButton& b = button(which);
    b.setEnabled(on);
    b.SetGrey(!on);
}

void CPlayBackCtrlPanel::updateButtons(bool busy)
{
    if (!isCreated())
        return;
    const int state = m_session.playState();
    bool play = false, steer = false, other = false;
    if (!busy) {
        play = state != kPlaying;
        steer = state == kPlaying || state == kFast || state == kSlow || state == kSingleFrame;
        other = state != kStopped;
    }
    setButtonOn(kPlayButton, play);
    for (Button b : {kPauseButton, kNextFrameButton, kFastButton, kSlowButton})
        setButtonOn(b, steer);
    for (Button b : {kSnapshotButton, kStopButton, kViewModeButton})
        setButtonOn(b, other);
}

void CPlayBackCtrlPanel::showSplitButtons(int channelCount)
{
    if (!isCreated() || channelCount > 16)
        return;
    const bool paging = channelCount >= 2;
    button(kNextButton).setVisible(paging);
    button(kPreviousButton).setVisible(paging);
    button(kSplit4Button).setVisible(paging);
    button(kSplit9Button).setVisible(channelCount >= 5);
    button(kSplit16Button).setVisible(channelCount >= 10);
    layoutButtons();
    update();
}

void CPlayBackCtrlPanel::refreshSplitStates(int windowCount)
{
    if (!isCreated() || windowCount > 16 || windowCount < 1)
        return;
    const int shown = windowCount == 1 ? 1 : windowCount <= 4 ? 4 : windowCount <= 9 ? 9 : 16;
    setButtonOn(kSplit4Button, shown != 4);
    setButtonOn(kSplit9Button, shown != 9);
    setButtonOn(kSplit16Button, shown != 16);
    const int channels = m_session.channelCount();
    const bool paging = shown == 1 ? channels != 1 : channels > shown;
    setButtonOn(kPreviousButton, paging);
    setButtonOn(kNextButton, paging);
}

void CPlayBackCtrlPanel::splitTo(int windows)
{
    if (!m_grid)
        return;
    if (windows == 4) {
        m_grid->SetLayout(189);
    } else if (windows == 9) {
        m_grid->SetLayout(191);
    } else if (m_grid->layoutCount() != 16) {
        preview::GridView view = m_grid->view();
        view.firstPosition = 0;
        view.savedFirstPosition = 0;
        view.layoutCount = 16;
        view.savedCount = 16;
        view.singleView = false;
        m_grid->setView(view, 16);
    }
    refreshSplitStates(windows);
}

void CPlayBackCtrlPanel::previousPage()
{
    if (!m_grid)
        return;
    m_grid->PreviousGroup();
    const int first = m_grid->firstPosition();
    for (int slot = 0; slot < playback::PlaybackSession::kSlots; ++slot) {
        if (playback::IPlaybackWindow* w = m_session.window(slot))
            w->setActive(slot == first);
    }
    m_session.selectSoundWindow(first);
}

void CPlayBackCtrlPanel::nextPage()
{
    if (!m_grid)
        return;
    m_grid->NextGroup();
    const int first = m_grid->firstPosition();
    for (int slot = 0; slot < playback::PlaybackSession::kSlots; ++slot) {
        if (playback::IPlaybackWindow* w = m_session.window(slot))
            w->setActive(slot == first);
    }
    m_session.selectSoundWindow(first);
}

void CPlayBackCtrlPanel::toggleFullScreen()
{
    m_fullScreen = !m_fullScreen;
    if (m_fullScreen)
        QCursor::setPos(mapToGlobal(QPoint(width() - 1, height() - 1)));
    if (auto* parent = dynamic_cast<platform::CWnd*>(parentWidget()))
        platform::postMessage(parent->handle(), platform::WM_PLAYBACK_FULLSCREEN, m_fullScreen ? 1 : 0, 0);
    button(kFullScreenButton).SetToggledOn(m_fullScreen);
    if (m_language)
        button(kFullScreenButton).SetToolTipText(
            m_language->lookup(m_fullScreen ? QStringLiteral("IE_ExitFullScreem") : QStringLiteral("IE_FullScreem")));
}

void CPlayBackCtrlPanel::toggleViewMode()
{
    m_viewMode = m_viewMode == 0 ? 1 : 0;
    button(kViewModeButton).SetToggledOn(m_viewMode == 1);
    for (int slot = 0; slot < playback::PlaybackSession::kSlots; ++slot) {
        if (playback::IPlaybackWindow* w = m_session.window(slot))
            w->setShapeMode(m_viewMode);
    }
}
