// SPDX-License-Identifier: GPL-3.0-or-later
// Overlay editor methods of the control. The Set...InitData methods answer
// with a text: empty when the data was taken, else the decimal outcome code.
#include "control/CVELK_DVRCtrl.h"

#include "device/DeviceSession.h"

#include <algorithm>

namespace {

QString outcome(int code)
{
    return code == 0 ? QString() : QString::number(code);
}

}  // namespace

std::uint32_t CVELK_DVRCtrl::InitOverlay(std::uint32_t devId, std::int32_t channel, std::uint32_t kind,
                                         std::uint32_t streamType, std::uint16_t pictureWidth,
                                         std::uint16_t pictureHeight)
{
    DeviceSession* session = listedSession(devId);
    if (!session)
        return 1;
    if (static_cast<std::uint32_t>(channel) > 16)
        return 2;
    if (kind > 2)
        return 3;
    if (streamType > 2)
        return 4;
    // While editing runs the page ends it first (UninitOverlay); a second
    // InitOverlay leaves the running one alone.
    if (!m_overlay.isEditing())
        m_overlay.startEditing(session->deviceHandle(), static_cast<int>(kind), channel, streamType,
                               pictureWidth, pictureHeight);
    return 0;
}

std::uint32_t CVELK_DVRCtrl::UninitOverlay()
{
    m_overlay.endEditing();
    return 0;
}

std::uint32_t CVELK_DVRCtrl::ClearOverlayScreen()
{
    m_overlay.clearOverlay();
    return 0;
}

QString CVELK_DVRCtrl::SetOverlayMDInitData(std::uint32_t devId, const QString& cells, std::uint32_t /*unused*/)
{
    if (!listedSession(devId))
        return outcome(1);
    if (cells.size() != COverlayWnd::kMotionTextChars)
        return outcome(2);
    return outcome(m_overlay.setMotionText(cells) ? 0 : 3);
}

QString CVELK_DVRCtrl::SetOverlayOsdInitData(std::uint32_t devId, std::uint32_t index, std::uint32_t packedPair,
                                             const QString& text, std::uint32_t visible,
                                             std::uint32_t referenceWidth, std::uint32_t referenceHeight,
                                             std::uint32_t x, std::uint32_t y)
{
    if (!listedSession(devId))
        return outcome(1);
    if (index > 2)
        return outcome(2);
    if (visible != 0 && visible != 1)
        return outcome(5);
    // Coordinates and sizes beyond 65535 are kept at 65535 (a reference size
    // of 0 or beyond means the device's picture size).
    const auto clamped = [](std::uint32_t v) { return static_cast<std::int32_t>(std::min<std::uint32_t>(v, 65535)); };
    const auto size = [](std::uint32_t v) { return v > 65535 ? 0 : static_cast<std::int32_t>(v); };
    m_overlay.setTextItem(index, packedPair, text, visible == 1, size(referenceWidth), size(referenceHeight),
                          clamped(x), clamped(y));
    return outcome(0);
}

QString CVELK_DVRCtrl::SetOverlayShelterInitData(std::uint32_t devId, std::uint32_t index, std::uint32_t left,
                                                 std::uint32_t top, std::uint32_t right, std::uint32_t bottom,
                                                 std::uint32_t referenceWidth, std::uint32_t referenceHeight)
{
    if (!listedSession(devId))
        return outcome(1);
    if (index > 4)
        return outcome(2);
    // The right edge is compared with the device's left edge, so that a mask
    // narrower than the 8 pixels the page adds to its left loads too.
    if (left > 65535 || top > 65535 || right > 65535 || bottom > 65535 ||
        right < m_overlay.model().deviceLeft(left) || bottom < top)
        return outcome(3);
    m_overlay.setMask(index, static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                      static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom),
                      referenceWidth > 65535 ? 0 : static_cast<std::int32_t>(referenceWidth),
                      referenceHeight > 65535 ? 0 : static_cast<std::int32_t>(referenceHeight));
    return outcome(0);
}

QString CVELK_DVRCtrl::GetOverlayMDData(std::uint32_t devId)
{
    if (!listedSession(devId))
        return QStringLiteral("faile 1");
    return m_overlay.motionText();
}

QString CVELK_DVRCtrl::GetShelterData(std::uint32_t devId, std::int32_t index)
{
    if (!listedSession(devId))
        return QStringLiteral("faile 1");
    return m_overlay.maskText(index);
}

QString CVELK_DVRCtrl::GetOsdOverlayData(std::uint32_t devId, std::uint32_t index)
{
    if (!listedSession(devId))
        return QStringLiteral("faile 1");
    if (index > 2)
        return QStringLiteral("faile 2");
    return m_overlay.textItemText(index);
}

void CVELK_DVRCtrl::SetOSD_AlignPixels(std::uint16_t pixels)
{
    if (m_overlay.isCreated())
        m_overlay.setAlignPixels(pixels);
}
