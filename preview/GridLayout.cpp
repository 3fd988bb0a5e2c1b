// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/GridLayout.h"

#include <algorithm>

namespace preview {

namespace {

// A rectangle from its left, top, right and bottom edges (right and bottom
// exclusive), as the layouts are given.
QRect edges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

struct Area {
    int L, T, R, B, W, H;
    int dx, dy;  // quarter cells
    int tx, ty;  // third cells
    int hx, hy;  // half cells
};

Area areaOf(const QRect& client)
{
    Area a{};
    a.L = client.left() + 1;
    a.T = client.top() + 1;
    a.R = client.left() + client.width() - 1;
    a.B = client.top() + client.height() - 1;
    a.W = std::max(0, a.R - a.L);
    a.H = std::max(0, a.B - a.T);
    a.dx = (a.W + 3) / 4;
    a.dy = (a.H + 3) / 4;
    a.tx = a.W / 3;
    a.ty = a.H / 3;
    a.hx = (a.W + 1) / 2;
    a.hy = (a.H + 1) / 2;
    return a;
}

std::vector<QRect> layout3(const Area& a)
{
    return {edges(a.L, a.T, a.L + a.hx, a.B), edges(a.L + a.hx, a.T, a.R, a.T + a.hy),
            edges(a.L + a.hx, a.T + a.hy, a.R, a.B)};
}

std::vector<QRect> layout4(const Area& a)
{
    std::vector<QRect> rects;
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            rects.emplace_back(a.L + column * a.hx, a.T + row * a.hy, a.hx, a.hy);
    return rects;
}

std::vector<QRect> layout6(const Area& a)
{
    return {edges(a.L, a.T, a.R - a.tx, a.B - a.ty),
            edges(a.R - a.tx, a.T, a.R, a.T + a.ty),
            edges(a.R - a.tx, a.T + a.ty, a.R, a.B - a.ty),
            edges(a.L, a.B - a.ty, a.L + a.tx, a.B),
            edges(a.L + a.tx, a.B - a.ty, a.R - a.tx, a.B),
            edges(a.R - a.tx, a.B - a.ty, a.R, a.B)};
}

std::vector<QRect> layout8(const Area& a)
{
    std::vector<QRect> rects{edges(a.L, a.T, a.R - a.dx, a.B - a.dy)};
    for (int k = 0; k < 3; ++k)
        rects.push_back(edges(a.R - a.dx, a.T + k * a.dy, a.R, a.T + (k + 1) * a.dy));
    const int bottomTop = a.B - a.dy;
    rects.push_back(edges(a.L, bottomTop, a.L + a.dx, a.B));
    rects.push_back(edges(a.L + a.dx, bottomTop, a.L + 2 * a.dx, a.B));
    rects.push_back(edges(a.L + 2 * a.dx, bottomTop, a.R - a.dx, a.B));
    rects.push_back(edges(a.R - a.dx, bottomTop, a.R, a.B));
    return rects;
}

std::vector<QRect> layout9(const Area& a)
{
    const int columns[4] = {a.L, a.L + a.tx, a.R - a.tx, a.R};
    const int rows[4] = {a.T, a.T + a.ty, a.B - a.ty, a.B};
    std::vector<QRect> rects;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            rects.push_back(edges(columns[column], rows[row], columns[column + 1], rows[row + 1]));
    return rects;
}

std::vector<QRect> layout13(const Area& a)
{
    // One cell of the 4 x 4 raster; the right column and the bottom row are
    // one pixel smaller.
    const auto cell = [&a](int column, int row) {
        return QRect(a.L + column * a.dx, a.T + row * a.dy, column == 3 ? a.dx - 1 : a.dx,
                     row == 3 ? a.dy - 1 : a.dy);
    };
    std::vector<QRect> rects;
    for (int column = 0; column < 4; ++column)
        rects.push_back(cell(column, 0));
    rects.push_back(cell(0, 1));
    rects.emplace_back(a.L + a.dx, a.T + a.dy, 2 * a.dx, 2 * a.dy);
    rects.push_back(cell(3, 1));
    rects.push_back(cell(0, 2));
    rects.push_back(cell(3, 2));
    for (int column = 0; column < 4; ++column)
        rects.push_back(cell(column, 3));
    return rects;
}

std::vector<QRect> layout16(const Area& a)
{
    std::vector<QRect> rects;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const int width = column == 3 ? a.W - 3 * a.dx : a.dx;
            const int height = row == 3 ? a.H - 3 * a.dy : a.dy;
            rects.emplace_back(a.L + column * a.dx, a.T + row * a.dy, width, height);
        }
    }
    return rects;
}

}  // namespace

WindowOrder defaultWindowOrder()
{
    WindowOrder order{};
    for (int p = 0; p < kGridWindows; ++p)
        order[static_cast<std::size_t>(p)] = p;
    return order;
}

bool isPermutation(const WindowOrder& order)
{
    std::array<bool, kGridWindows> seen{};
    for (int index : order) {
        if (index < 0 || index >= kGridWindows || seen[static_cast<std::size_t>(index)])
            return false;
        seen[static_cast<std::size_t>(index)] = true;
    }
    return true;
}

bool isLayoutCount(int count)
{
    switch (count) {
    case 1: case 3: case 4: case 6: case 8: case 9: case 13: case 16:
        return true;
    default:
        return false;
    }
}

int layoutForWindowCount(std::uint32_t windowCount)
{
    switch (windowCount) {
    case 3: case 4: case 6: case 8: case 9: case 13: case 16:
        return static_cast<int>(windowCount);
    case 1: case 2: case 5: case 7: case 10: case 11: case 12: case 14: case 15:
        return 1;
    default:
        return 0;
    }
}

int layoutForCommandId(int commandId)
{
    switch (commandId) {
    case 188: return 1;
    case 307: return 3;
    case 189: return 4;
    case 290: return 6;
    case 190: return 8;
    case 191: return 9;
    case 291: return 13;
    case 192: return 16;
    default: return 0;
    }
}

int commandIdForLayout(int count)
{
    switch (count) {
    case 1: return 188;
    case 3: return 307;
    case 4: return 189;
    case 6: return 290;
    case 8: return 190;
    case 9: return 191;
    case 13: return 291;
    case 16: return 192;
    default: return 0;
    }
}

std::vector<QRect> layoutRects(int count, const QRect& client)
{
    const Area a = areaOf(client);
    switch (count) {
    case 1: return {edges(a.L, a.T, a.R, a.B)};
    case 3: return layout3(a);
    case 4: return layout4(a);
    case 6: return layout6(a);
    case 8: return layout8(a);
    case 9: return layout9(a);
    case 13: return layout13(a);
    case 16: return layout16(a);
    default: return {};
    }
}

int layoutStart(int count, int firstPosition)
{
    if (count >= kGridWindows)
        return 0;
    return std::clamp(firstPosition, 0, kGridWindows - std::max(count, 0));
}

int nextPageFirst(int firstPosition, int count, int total)
{
    if (count >= total)
        return firstPosition;
    const int next = firstPosition + count;
    if (next < total)
        return std::min(next, total - count);
    return 0;
}

int previousPageFirst(int firstPosition, int count, int total)
{
    if (firstPosition > 0)
        return std::max(0, firstPosition - count);
    if (count < total)
        return total - count;
    return firstPosition;
}

void toggleSingleView(GridView& view, int windowIndex, const WindowOrder& order)
{
    if (view.singleView || view.layoutCount == 1) {
        view.layoutCount = view.savedCount;
        view.firstPosition = view.savedFirstPosition;
    } else {
        view.savedCount = view.layoutCount;
        view.savedFirstPosition = view.firstPosition;
        // The clicked window is one of those shown, so look among them: the
        // single view then shows the window that was double-clicked.
        const int start = layoutStart(view.layoutCount, view.firstPosition);
        const int end = std::min(start + view.layoutCount, kGridWindows);
        for (int p = start; p < end; ++p) {
            if (order[static_cast<std::size_t>(p)] == windowIndex) {
                view.firstPosition = p;
                break;
            }
        }
        view.layoutCount = 1;
    }
    view.singleView = !view.singleView;
}

int positionOf(const WindowOrder& order, int windowIndex)
{
    for (int p = 0; p < kGridWindows; ++p)
        if (order[static_cast<std::size_t>(p)] == windowIndex)
            return p;
    return -1;
}

bool swapWindows(WindowOrder& order, int a, int b)
{
    if (a == b || a < 0 || b < 0 || a >= kGridWindows || b >= kGridWindows)
        return false;
    const int pa = positionOf(order, a);
    const int pb = positionOf(order, b);
    if (pa < 0 || pb < 0)
        return false;
    std::swap(order[static_cast<std::size_t>(pa)], order[static_cast<std::size_t>(pb)]);
    return true;
}

}  // namespace preview
