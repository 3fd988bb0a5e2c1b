// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/OverlayGeometry.h"

#include <algorithm>
#include <climits>

namespace overlay {

namespace {

constexpr int kMotionBytes = kMotionTextChars / 2;  // 32

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, -kMaxScaled, kMaxScaled));
}

}  // namespace

QString motionText(const MotionCells& cells)
{
    std::array<std::uint8_t, kMotionBytes> bytes{};
    for (int c = 0; c < kCellCount; ++c)
        if (cells[static_cast<std::size_t>(c)])
            bytes[static_cast<std::size_t>(c / 8)] |= static_cast<std::uint8_t>(1u << (c % 8));
    static const char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(kMotionTextChars);
    for (std::uint8_t b : bytes) {
        text += QLatin1Char(kDigits[b >> 4]);
        text += QLatin1Char(kDigits[b & 0xF]);
    }
    return text;
}

std::optional<MotionCells> motionCells(const QString& text)
{
    if (text.size() != kMotionTextChars)
        return std::nullopt;
    std::array<std::uint8_t, kMotionBytes> bytes{};
    for (int i = 0; i < kMotionBytes; ++i) {
        const int high = hexDigitValue(text[2 * i]);
        const int low = hexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(high << 4 | low);
    }
    MotionCells cells{};
    for (int c = 0; c < kCellCount; ++c)
        cells[static_cast<std::size_t>(c)] = (bytes[static_cast<std::size_t>(c / 8)] >> (c % 8)) & 1;
    return cells;
}

Box normalised(QPoint a, QPoint b)
{
    return {std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()), std::max(a.y(), b.y())};
}

int motionRows(int pictureHeight)
{
    return pictureHeight == 480 || pictureHeight == 240 ? 10 : kCellRows;
}

CellSize cellSize(int windowWidth, int windowHeight, int pictureHeight)
{
    const int rows = motionRows(pictureHeight);
    const int w = std::max(0, windowWidth);
    const int h = std::max(0, windowHeight);
    return {std::max(1, (w + kCellColumns - 1) / kCellColumns), std::max(1, (h + rows - 1) / rows)};
}

int cellIndexAt(QPoint p, CellSize size, int rows)
{
    const int column = std::clamp(p.x() / std::max(1, size.width), 0, kCellColumns - 1);
    const int row = std::clamp(p.y() / std::max(1, size.height), 0, std::clamp(rows, 1, kCellRows) - 1);
    return row * kCellColumns + column;
}

QPoint clampToWindow(QPoint p, int windowWidth, int windowHeight)
{
    return {std::clamp(p.x(), 0, std::max(1, windowWidth) - 1), std::clamp(p.y(), 0, std::max(1, windowHeight) - 1)};
}

int snapStep(std::uint16_t alignment)
{
    if (alignment == 8)
        return 4;
    return std::max<int>(1, alignment);
}

int snapDown(int value, int step)
{
    const std::int64_t s = std::max(1, step);
    const std::int64_t r = value % s;
    const std::int64_t down = r < 0 ? value - r - s : value - r;
    return static_cast<int>(std::max<std::int64_t>(down, INT_MIN));
}

int snapUp(int value, int step)
{
    const int down = snapDown(value, step);
    if (down == value)
        return value;
    return static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(down) + std::max(1, step), INT_MAX));
}

int scale(std::int64_t value, std::int64_t to, std::int64_t from)
{
    if (from <= 0)
        return clampToInt(value);
    return clampToInt(value * to / from);
}

Box scaleBox(const Box& box, int toWidth, int fromWidth, int toHeight, int fromHeight)
{
    return {scale(box.left, toWidth, fromWidth), scale(box.top, toHeight, fromHeight),
            scale(box.right, toWidth, fromWidth), scale(box.bottom, toHeight, fromHeight)};
}

bool touchesEllipse(const Box& box, const Box& ellipseBox)
{
    const double a = ellipseBox.width() / 2.0;
    const double b = ellipseBox.height() / 2.0;
    if (a <= 0 || b <= 0)
        return false;
    const double cx = ellipseBox.left + a;
    const double cy = ellipseBox.top + b;
    // The box's point nearest the centre, in the ellipse's own scale (which
    // maps boxes to boxes, so clamping finds it).
    const double px = std::clamp(cx, static_cast<double>(box.left), static_cast<double>(box.right));
    const double py = std::clamp(cy, static_cast<double>(box.top), static_cast<double>(box.bottom));
    const double dx = (px - cx) / a;
    const double dy = (py - cy) / b;
    return dx * dx + dy * dy < 1.0;
}

Box keepInside(int left, int top, int width, int height, int windowWidth, int windowHeight)
{
    width = std::max(0, width);
    height = std::max(0, height);
    const int x = std::clamp(left, 0, std::max(0, windowWidth - width));
    const int y = std::clamp(top, 0, std::max(0, windowHeight - height));
    return {x, y, x + width, y + height};
}

}  // namespace overlay
