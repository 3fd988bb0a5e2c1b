// SPDX-License-Identifier: GPL-3.0-or-later
#include "overlay/OverlayModel.h"

#include <algorithm>
#include <cstdlib>

namespace overlay {

bool OverlaySnapshot::needsMeasuring(int pictureWidth, int pictureHeight) const
{
    if (items.empty())
        return false;
    if (pictureWidth != measuredWidth || pictureHeight != measuredHeight)
        return true;
    return std::any_of(items.begin(), items.end(), [](const Item& i) { return i.visible && !i.extentKnown; });
}

void OverlayModel::reset(int mode, int pictureWidth, int pictureHeight)
{
    m_mode = std::clamp(mode, static_cast<int>(kMotionCells), static_cast<int>(kTextItems));
    m_cells.fill(0);
    m_masks.clear();
    m_items.clear();
    m_pressed = false;
    if (pictureWidth > 0 && pictureWidth <= kMaxCoordinate)
        m_pictureWidth = pictureWidth;
    if (pictureHeight > 0 && pictureHeight <= kMaxCoordinate)
        m_pictureHeight = pictureHeight;
    m_cellSize = overlay::cellSize(m_windowWidth, m_windowHeight, m_pictureHeight);
}

void OverlayModel::clearOverlay()
{
    switch (m_mode) {
    case kMotionCells: m_cells.fill(0); break;
    case kPrivacyMasks: m_masks.clear(); break;
    case kTextItems: m_items.clear(); break;
    default: break;
    }
}

void OverlayModel::setWindowSize(int width, int height)
{
    m_windowWidth = std::max(0, width);
    m_windowHeight = std::max(0, height);
    m_cellSize = overlay::cellSize(m_windowWidth, m_windowHeight, m_pictureHeight);
    for (MaskRecord& mask : m_masks) {
        mask.windowWidth = m_windowWidth;
        mask.windowHeight = m_windowHeight;
        mask.window = scaleBox(mask.picture, m_windowWidth, mask.referenceWidth, m_windowHeight, mask.referenceHeight);
    }
    for (auto& [index, item] : m_items) {
        // The reference rectangle stays; the text is measured again for the
        // new size at the next picture.
        placeItemOnWindow(item);
        item.extentKnown = false;
    }
}

void OverlayModel::setAlignPixels(std::uint16_t pixels)
{
    if (pixels != 0)
        m_alignPixels = pixels;
}

bool OverlayModel::setMotionText(const QString& text)
{
    const std::optional<MotionCells> cells = motionCells(text);
    if (!cells)
        return false;
    m_cells = *cells;
    return true;
}

void OverlayModel::setCell(int index, bool on)
{
    if (index >= 0 && index < kCellCount)
        m_cells[static_cast<std::size_t>(index)] = on ? 1 : 0;
}

bool OverlayModel::cell(int index) const
{
    return index >= 0 && index < kCellCount && m_cells[static_cast<std::size_t>(index)] != 0;
}

int OverlayModel::effectiveReferenceWidth(std::int64_t width) const
{
    // A reference size of 0 (or nonsense) would divide by zero: the
    // device's picture size stands in.
    return width > 0 && width <= kMaxCoordinate ? static_cast<int>(width) : m_pictureWidth;
}

int OverlayModel::effectiveReferenceHeight(std::int64_t height) const
{
    return height > 0 && height <= kMaxCoordinate ? static_cast<int>(height) : m_pictureHeight;
}

bool OverlayModel::setMask(std::uint32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                           std::int32_t bottom, std::int32_t referenceWidth, std::int32_t referenceHeight)
{
    const auto inRange = [](std::int32_t v) { return v >= 0 && v <= kMaxCoordinate; };
    if (!inRange(left) || !inRange(top) || !inRange(right) || !inRange(bottom) || index >= kMaxMasks)
        return false;
    // With the 8-pixel grid the page's left edge is 8 pixels right of ours.
    // The right edge is compared with ours: a mask narrower than 8 pixels
    // is a mask too.
    if (m_alignPixels == 8 && left >= 8)
        left -= 8;
    if (right < left || bottom < top)
        return false;
    if ((left == 0 && right == 0) || (top == 0 && bottom == 0))
        return true;
    const int rw = effectiveReferenceWidth(referenceWidth);
    const int rh = effectiveReferenceHeight(referenceHeight);
    const int w = m_windowWidth;
    const int h = m_windowHeight;
    const Box picture{left, top, right, bottom};
    if (index < m_masks.size()) {
        // The mask takes the new place as a whole, so that what shows is
        // what is read back.
        MaskRecord& mask = m_masks[index];
        mask.picture = picture;
        mask.referenceWidth = rw;
        mask.referenceHeight = rh;
        mask.windowWidth = w;
        mask.windowHeight = h;
        mask.window = scaleBox(picture, w, rw, h, rh);
        mask.committed = true;
        return true;
    }
    MaskRecord mask;
    mask.window = {scale(left, w, rw) + 1, scale(top, h, rh) + 1, scale(right, w, rw), scale(bottom, h, rh)};
    if (m_alignPixels == 8) {
        mask.window.bottom += 2;
    } else {
        mask.window.bottom += 4;
        mask.window.right += 4;
    }
    if (mask.window.bottom == mask.window.top)
        mask.window.bottom = mask.window.top + 2;
    if (mask.window.right == mask.window.left)
        mask.window.right = mask.window.left + 2;
    mask.picture = picture;
    mask.windowWidth = w;
    mask.windowHeight = h;
    mask.referenceWidth = rw;
    mask.referenceHeight = rh;
    // What the page loads is complete: a press never takes it away.
    mask.committed = true;
    m_masks.push_back(mask);
    return true;
}

QString OverlayModel::maskText(std::int32_t index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_masks.size())
        return QStringLiteral("0_0_0_0");
    const Box& p = m_masks[static_cast<std::size_t>(index)].picture;
    const int left = p.left + (m_alignPixels == 8 ? 8 : 0);
    return QStringLiteral("%1_%2_%3_%4").arg(left).arg(p.top).arg(p.width()).arg(p.height());
}

void OverlayModel::placeItemOnWindow(TextItemRecord& item) const
{
    item.windowWidth = m_windowWidth;
    item.windowHeight = m_windowHeight;
    item.window = scaleBox(item.reference, m_windowWidth, item.referenceWidth, m_windowHeight, item.referenceHeight);
}

bool OverlayModel::setTextItem(std::uint32_t index, std::uint32_t packedPair, const QString& text, bool visible,
                               std::int32_t referenceWidth, std::int32_t referenceHeight, std::int32_t x,
                               std::int32_t y)
{
    if (index > kMaxTextItemIndex)
        return false;
    x = std::clamp(x, 0, kMaxCoordinate);
    y = std::clamp(y, 0, kMaxCoordinate);
    if (m_alignPixels == 8 && x >= 8)
        x -= 8;
    TextItemRecord item;
    item.index = index;
    item.text = text;
    item.packedHigh = static_cast<std::uint16_t>(packedPair >> 16);
    item.packedLow = static_cast<std::uint16_t>(packedPair & 0xFFFF);
    item.visible = visible;
    item.referenceWidth = effectiveReferenceWidth(referenceWidth);
    item.referenceHeight = effectiveReferenceHeight(referenceHeight);
    item.reference = {x, y, x, y};
    placeItemOnWindow(item);
    m_items.erase(index);
    m_items.emplace(index, std::move(item));
    return true;
}

QString OverlayModel::textItemText(std::uint32_t index) const
{
    const auto it = m_items.find(index);
    const int x = it == m_items.end() ? 0 : it->second.reference.left;
    const int y = it == m_items.end() ? 0 : it->second.reference.top;
    return QStringLiteral("%1_%2_%3").arg(m_items.size()).arg(x).arg(y);
}

bool OverlayModel::measureTextItems(int pictureWidth, int pictureHeight, const TextMeasure& measure)
{
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return false;
    bool changed = false;
    if (pictureWidth != m_measuredWidth || pictureHeight != m_measuredHeight) {
        m_measuredWidth = pictureWidth;
        m_measuredHeight = pictureHeight;
        for (auto& [index, item] : m_items)
            item.extentKnown = false;
        changed = true;
    }
    for (auto& [index, item] : m_items) {
        if (!item.visible || item.extentKnown || item.dragging)
            continue;
        Box& r = item.reference;
        if (index == 0) {
            r.right = r.left + kNameBoxWidth;
            r.bottom = r.top + kNameBoxHeight;
        } else {
            const QSize size = measure ? measure(item.text, pictureWidth, pictureHeight) : QSize();
            r.right = r.left + scale(std::max(0, size.width()), item.referenceWidth, pictureWidth);
            r.bottom = r.top + scale(std::max(0, size.height()), item.referenceHeight, pictureHeight);
        }
        placeItemOnWindow(item);
        item.extentKnown = true;
        changed = true;
    }
    return changed;
}

Box OverlayModel::pictureBox(const Box& window, bool roundUp) const
{
    const int w = std::max(1, m_windowWidth);
    const int h = std::max(1, m_windowHeight);
    const int g = step();
    Box p{snapDown(scale(window.left, m_pictureWidth, w), g), snapDown(scale(window.top, m_pictureHeight, h), g),
          scale(window.right, m_pictureWidth, w), scale(window.bottom, m_pictureHeight, h)};
    if (roundUp) {
        p.right = snapUp(p.right, g);
        p.bottom = snapUp(p.bottom, g);
    }
    // The recorder takes masks inside its picture only.
    p.left = std::clamp(p.left, 0, m_pictureWidth);
    p.top = std::clamp(p.top, 0, m_pictureHeight);
    p.right = std::clamp(p.right, p.left, m_pictureWidth);
    p.bottom = std::clamp(p.bottom, p.top, m_pictureHeight);
    return p;
}

Cursor OverlayModel::press(QPoint p)
{
    p = inside(p);
    m_pressPoint = p;
    m_pressed = true;
    switch (m_mode) {
    case kMotionCells: {
        const std::size_t index =
            static_cast<std::size_t>(cellIndexAt(p, m_cellSize, motionRows(m_pictureHeight)));
        m_cells[index] = m_cells[index] ? 0 : 1;
        m_paintValue = m_cells[index];
        return Cursor::Keep;
    }
    case kPrivacyMasks:
        pressMask(p);
        return Cursor::Cross;
    case kTextItems:
        pressItem(p);
        return Cursor::Keep;
    default:
        return Cursor::Keep;
    }
}

Cursor OverlayModel::move(QPoint p, bool leftHeld)
{
    p = inside(p);
    switch (m_mode) {
    case kMotionCells:
        if (m_pressed && leftHeld)
            forEachCellBetween(m_pressPoint, p, m_cellSize, motionRows(m_pictureHeight),
                               [this](int index) { m_cells[static_cast<std::size_t>(index)] = m_paintValue; });
        return Cursor::Keep;
    case kPrivacyMasks:
        if (m_pressed && leftHeld)
            moveMask(p);
        return Cursor::Keep;
    case kTextItems:
        return moveItem(p, leftHeld);
    default:
        return Cursor::Keep;
    }
}

void OverlayModel::release(QPoint p)
{
    p = inside(p);
    const bool wasPressed = m_pressed;
    m_pressed = false;
    if (m_mode == kPrivacyMasks && wasPressed)
        releaseMask(p);
    else if (m_mode == kTextItems)
        endItemDrags();
}

void OverlayModel::doubleClick(QPoint p)
{
    p = inside(p);
    if (m_mode == kPrivacyMasks) {
        const auto hit = std::find_if(m_masks.begin(), m_masks.end(),
                                      [p](const MaskRecord& m) { return m.window.holds(p); });
        if (hit != m_masks.end())
            m_masks.erase(hit);
        return;
    }
    // Elsewhere the second click of a double click is a click.
    press(p);
}

void OverlayModel::leave()
{
    if (m_mode == kPrivacyMasks && m_pressed && !m_masks.empty() && !m_masks.back().committed) {
        // The rectangle drawn so far is kept as it is, unless it has no area.
        MaskRecord& last = m_masks.back();
        if (last.window.width() >= 1 && last.window.height() >= 1 && last.picture.width() >= 1 &&
            last.picture.height() >= 1)
            last.committed = true;
        else
            m_masks.pop_back();
    }
    if (m_mode == kTextItems)
        endItemDrags();
    m_pressed = false;
}

void OverlayModel::pressMask(QPoint p)
{
    std::erase_if(m_masks, [](const MaskRecord& m) { return !m.committed; });
    if (m_masks.size() >= kMouseMasks)
        return;
    MaskRecord mask;
    mask.window = {p.x(), p.y(), p.x(), p.y()};
    mask.picture = pictureBox(mask.window, false);
    mask.windowWidth = m_windowWidth;
    mask.windowHeight = m_windowHeight;
    mask.referenceWidth = m_pictureWidth;
    mask.referenceHeight = m_pictureHeight;
    mask.committed = false;
    m_masks.push_back(mask);
}

void OverlayModel::moveMask(QPoint p)
{
    if (m_masks.empty() || m_masks.back().committed || m_masks.size() > kMouseMasks)
        return;
    if (p.y() == 0)
        p.setY(1);
    MaskRecord& last = m_masks.back();
    last.window = normalised(m_pressPoint, p);
    last.picture = pictureBox(last.window, false);
}

void OverlayModel::releaseMask(QPoint p)
{
    if (m_masks.empty() || m_masks.back().committed)
        return;
    const int dx = std::abs(p.x() - m_pressPoint.x());
    const int dy = std::abs(p.y() - m_pressPoint.y());
    MaskRecord& last = m_masks.back();
    if (dx >= 1 && dy >= 1 && dx + dy > 7) {
        last.window = normalised(m_pressPoint, p);
        last.picture = pictureBox(last.window, true);
        if (last.picture.width() >= 1 && last.picture.height() >= 1) {
            last.committed = true;
            return;
        }
    }
    // A click or a tiny drag draws nothing: the mask begun at the press goes.
    m_masks.pop_back();
}

void OverlayModel::pressItem(QPoint p)
{
    for (auto& [index, item] : m_items) {
        if (item.visible && item.extentKnown && item.window.holds(p)) {
            item.dragging = true;
            item.savedWindow = item.window;
            item.savedReference = item.reference;
            return;
        }
    }
}

Cursor OverlayModel::moveItem(QPoint p, bool leftHeld)
{
    if (!leftHeld) {
        endItemDrags();
        for (const auto& [index, item] : m_items)
            if (item.visible && item.extentKnown && item.window.holds(p))
                return Cursor::Hand;
        return Cursor::Arrow;
    }
    if (!m_pressed)
        return Cursor::Keep;
    for (auto& [index, item] : m_items) {
        if (!item.dragging)
            continue;
        const Box& saved = item.savedWindow;
        const Box box = keepInside(saved.left + p.x() - m_pressPoint.x(), saved.top + p.y() - m_pressPoint.y(),
                                   saved.width(), saved.height(), m_windowWidth, m_windowHeight);
        for (const auto& [otherIndex, other] : m_items)
            if (otherIndex != index && other.visible && other.extentKnown && touchesEllipse(box, other.window))
                return Cursor::Hand;  // refused: it would cover another item
        item.window = box;
        const int g = step();
        const int x = snapDown(scale(box.left, item.referenceWidth, std::max(1, m_windowWidth)), g);
        const int y = snapDown(scale(box.top, item.referenceHeight, std::max(1, m_windowHeight)), g);
        item.reference = {x, y, x + item.savedReference.width(), y + item.savedReference.height()};
        return Cursor::Hand;
    }
    return Cursor::Keep;
}

void OverlayModel::endItemDrags()
{
    for (auto& [index, item] : m_items) {
        if (!item.dragging)
            continue;
        item.dragging = false;
        // The item stays where it is drawn: at its snapped position.
        placeItemOnWindow(item);
    }
}

OverlaySnapshot OverlayModel::snapshot() const
{
    OverlaySnapshot s;
    s.mode = m_mode;
    s.pictureHeight = m_pictureHeight;
    s.windowWidth = m_windowWidth;
    s.windowHeight = m_windowHeight;
    s.cells = m_cells;
    s.maskWindows.reserve(m_masks.size());
    for (const MaskRecord& mask : m_masks)
        s.maskWindows.push_back(mask.window);
    s.measuredWidth = m_measuredWidth;
    s.measuredHeight = m_measuredHeight;
    s.items.reserve(m_items.size());
    for (const auto& [index, item] : m_items)
        s.items.push_back({index, item.text, item.visible, item.reference, item.referenceWidth, item.referenceHeight,
                           item.extentKnown});
    return s;
}

}  // namespace overlay
