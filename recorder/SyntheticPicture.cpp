// SPDX-License-Identifier: GPL-3.0-or-later
#include "SyntheticPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace velk::recorder {

namespace {

constexpr std::uint8_t kTextLuma = 235;
constexpr std::uint8_t kBoxLuma = 16;
constexpr std::uint8_t kSquareLuma = 220;
constexpr std::uint8_t kMaskLuma = 16;  // black, with neutral chroma

}  // namespace

SyntheticPicture::SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames)
    : SyntheticPicture(channel, profile, loopFrames, OverlaySettings::defaults(channel))
{
}

SyntheticPicture::SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames,
                                   OverlaySettings overlay)
    : m_profile(profile),
      m_loopFrames(std::max<std::size_t>(loopFrames, 1)),
      m_background(std::size_t(profile.width) * profile.height),
      m_overlay(std::move(overlay))
{
    const int width = profile.width;
    const int height = profile.height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            m_background[std::size_t(y) * width + x] = static_cast<std::uint8_t>(48 + 80 * (x + y) / (width + height));
    // A hue per channel, so neighbouring tiles of a grid look different.
    const double angle = 2.0 * std::numbers::pi * double(channel % 16) / 16.0;
    m_cb = static_cast<std::uint8_t>(128 + std::lround(36 * std::cos(angle)));
    m_cr = static_cast<std::uint8_t>(128 + std::lround(36 * std::sin(angle)));
}

std::string SyntheticPicture::clockText(std::size_t index, unsigned frameRate)
{
    const std::size_t ms = index * 1000 / std::max(frameRate, 1u);
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u.%02u", unsigned(ms / 60000 % 100), unsigned(ms / 1000 % 60),
                  unsigned(ms % 1000 / 10));
    return text;
}

std::string SyntheticPicture::channelText(std::uint32_t channel)
{
    char text[16];
    std::snprintf(text, sizeof text, "CH%02u", unsigned((channel + 1) % 1000));
    return text;
}

std::array<SyntheticPicture::Place, kOsdItems> SyntheticPicture::defaultLayout()
{
    // As the main stream has always drawn them: scale 4, margin 8, the
    // clock's line 56 pixels high at the bottom.
    constexpr int margin = 8;
    constexpr int lineHeight = kGlyphHeight * 8;
    constexpr int clockTop = kOverlayHeight - lineHeight - 2 * margin;
    return {Place{2 * margin, margin}, Place{2 * margin, clockTop}, Place{2 * margin, clockTop - lineHeight - 2 * margin}};
}

OverlayRect SyntheticPicture::squareAt(std::size_t index, std::size_t loopFrames, int width, int height)
{
    // The square glides right in the first half of the loop and back in the
    // second, so the last picture leads smoothly into the first.
    loopFrames = std::max<std::size_t>(loopFrames, 1);
    const int side = height / 5;
    const double phase = double(index % loopFrames) / double(loopFrames);
    const double there = phase < 0.5 ? 2 * phase : 2 * (1 - phase);
    const int squareX = static_cast<int>(std::lround(there * (width - side)));
    return OverlayRect{squareX, height / 2 - side / 2, side, side};
}

void SyntheticPicture::draw(std::size_t index, Plane luma, Plane cb, Plane cr) const
{
    const int width = m_profile.width;
    const int height = m_profile.height;
    for (int y = 0; y < height; ++y)
        std::memcpy(luma.data + y * luma.stride, m_background.data() + std::size_t(y) * width, std::size_t(width));
    for (int y = 0; y < cb.height; ++y) {
        std::memset(cb.data + y * cb.stride, m_cb, std::size_t(cb.width));
        std::memset(cr.data + y * cr.stride, m_cr, std::size_t(cr.width));
    }

    const OverlayRect square = squareAt(index, m_loopFrames, width, height);
    fillRect(luma, square.x, square.y, square.width, square.height, kSquareLuma);

    // Privacy masks hide the picture; the texts are the recorder's own and
    // stand on top.
    drawMasks(luma, cb, cr);

    const std::array<OsdItem, kOsdItems>& osd = m_overlay.osd;
    if (osd[0].visible) {
        char label[32];
        std::snprintf(label, sizeof label, "%s %uX%u", m_profile.label, unsigned(width), unsigned(height));
        drawItem(luma, osd[0].x, osd[0].y, osd[0].text, label);
    }
    if (osd[1].visible)
        drawItem(luma, osd[1].x, osd[1].y, clockText(index % m_loopFrames, m_profile.frameRate), {});
    if (osd[2].visible && !osd[2].text.empty())
        drawItem(luma, osd[2].x, osd[2].y, osd[2].text, {});
}

void SyntheticPicture::drawItem(Plane luma, int x, int y, const std::string& text, const std::string& below) const
{
    const int scale = std::max(1, m_profile.width / 176);
    const int margin = 2 * scale;
    const int bigScale = 2 * scale;
    const int left = x * m_profile.width / kOverlayWidth;
    const int top = y * m_profile.height / kOverlayHeight;
    const int belowTop = top + (text.empty() ? 0 : kGlyphHeight * bigScale + margin);
    const int bottom = below.empty() ? top + kGlyphHeight * bigScale : belowTop + kGlyphHeight * scale;
    const int textRight = left + std::max(textWidth(text, bigScale), textWidth(below, scale));
    if (textRight == left)
        return;
    fillRect(luma, left - margin, top - margin, textRight - left + 2 * margin, bottom - top + 2 * margin, kBoxLuma);
    drawText(luma, left, top, bigScale, text, kTextLuma);
    drawText(luma, left, belowTop, scale, below, kTextLuma);
}

void SyntheticPicture::drawMasks(Plane luma, Plane cb, Plane cr) const
{
    const int width = m_profile.width;
    const int height = m_profile.height;
    for (const OverlayRect& mask : m_overlay.masks) {
        // Scaled outwards, so that a smaller stream hides at least as much.
        const int left = mask.x * width / kOverlayWidth;
        const int top = mask.y * height / kOverlayHeight;
        const int right = ((mask.x + mask.width) * width + kOverlayWidth - 1) / kOverlayWidth;
        const int bottom = ((mask.y + mask.height) * height + kOverlayHeight - 1) / kOverlayHeight;
        fillRect(luma, left, top, right - left, bottom - top, kMaskLuma);
        const int cLeft = left / 2;
        const int cTop = top / 2;
        const int cRight = (right + 1) / 2;
        const int cBottom = (bottom + 1) / 2;
        fillRect(cb, cLeft, cTop, cRight - cLeft, cBottom - cTop, 128);
        fillRect(cr, cLeft, cTop, cRight - cLeft, cBottom - cTop, 128);
    }
}

}  // namespace velk::recorder
