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

}  // namespace

SyntheticPicture::SyntheticPicture(std::uint32_t channel, const StreamProfile& profile, std::size_t loopFrames)
    : m_channel(channel),
      m_profile(profile),
      m_loopFrames(std::max<std::size_t>(loopFrames, 1)),
      m_background(std::size_t(profile.width) * profile.height)
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

    // The square glides right in the first half of the loop and back in the
    // second, so the last picture leads smoothly into the first.
    const int side = height / 5;
    const double phase = double(index % m_loopFrames) / double(m_loopFrames);
    const double there = phase < 0.5 ? 2 * phase : 2 * (1 - phase);
    const int squareX = static_cast<int>(std::lround(there * (width - side)));
    fillRect(luma, squareX, height / 2 - side / 2, side, side, kSquareLuma);

    const int scale = std::max(1, width / 176);
    const int margin = 2 * scale;
    const std::string channel = channelText(m_channel);
    char label[32];
    std::snprintf(label, sizeof label, "%s %uX%u", m_profile.label, unsigned(width), unsigned(height));
    const std::string clock = clockText(index % m_loopFrames, m_profile.frameRate);

    const int bigScale = 2 * scale;
    const int top = margin;
    const int labelTop = top + kGlyphHeight * bigScale + margin;
    const int boxWidth = std::max(textWidth(channel, bigScale), textWidth(label, scale)) + 2 * margin;
    fillRect(luma, 0, 0, boxWidth + margin, labelTop + kGlyphHeight * scale + margin, kBoxLuma);
    drawText(luma, 2 * margin, top, bigScale, channel, kTextLuma);
    drawText(luma, 2 * margin, labelTop, scale, label, kTextLuma);

    const int clockTop = height - kGlyphHeight * bigScale - 2 * margin;
    fillRect(luma, 0, clockTop - margin, textWidth(clock, bigScale) + 4 * margin, height - clockTop + margin,
             kBoxLuma);
    drawText(luma, 2 * margin, clockTop, bigScale, clock, kTextLuma);
}

}  // namespace velk::recorder
