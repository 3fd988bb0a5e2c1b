// SPDX-License-Identifier: GPL-3.0-or-later
// A slider drawn from skin images: a track (and, optionally, an active
// track shown before the thumb) and a thumb (and an active thumb shown while
// it is dragged). Images may be cut by a transparent colour so that the
// parent shows through. The slider tells its parent where its thumb is by
// posting WM_SLIDER_DRAG while the thumb is dragged to a new place and
// WM_SLIDER_POS when a drag ends or a key moved it (wParam its control id,
// lParam the position). The maths lives in widgets::SliderGeometry.
//
// UI thread only.
#pragma once

#include "platform/Window.h"
#include "widgets/SliderGeometry.h"

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

class CBitmapSlider : public platform::CWnd {
public:
    CBitmapSlider();
    ~CBitmapSlider() override;

    void SetRange(int min, int max, bool redraw = true);
    int GetRangeMin() const { return m_min; }
    int GetRangeMax() const { return m_max; }
    // Clamped to the range, then redrawn.
    void SetPos(int pos);
    int GetPos() const { return m_pos; }
    // Returns the old page size.
    int SetPageSize(int size);
    int GetPageSize() const { return m_page; }
    void SetMargins(int left, int top, int right, int bottom);
    void SetVertical(bool vertical);
    bool IsVertical() const { return m_vertical; }

    // Track images by skin name (empty active: none). With `transparent`,
    // pixels of the transparent colour (by default each image's top-left
    // pixel) let the parent show through. False when an image fails to load.
    bool SetTrackBitmaps(const QString& track, const QString& active = {}, bool transparent = false,
                         std::optional<QColor> trackColour = std::nullopt,
                         std::optional<QColor> activeColour = std::nullopt);
    // The same for the thumb; its logical size is the thumb's size.
    bool SetThumbBitmaps(const QString& thumb, const QString& active = {}, bool transparent = false,
                         std::optional<QColor> thumbColour = std::nullopt,
                         std::optional<QColor> activeColour = std::nullopt);

    // Whether to draw a dotted focus rectangle while the slider has focus.
    void DrawFocusRect(bool draw = true, bool redraw = false);
    // A disabled slider ignores the mouse and keys and shows no thumb.
    void Enable(bool enable = true);
    bool IsSliderEnabled() const { return m_enabled; }
    bool IsDragging() const { return m_dragging; }

    // The geometry of the slider as it is now.
    widgets::SliderGeometry Geometry() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct SliderImage {
        QImage image;   // as loaded
        QImage masked;  // with the transparent colour cut out
        bool loaded = false;
    };

    static bool LoadImage(SliderImage& into, const QString& name, std::optional<QColor> colour, qreal ratio);
    void DrawTrack(QPainter& painter, int centre);
    void DrawThumb(QPainter& painter, int centre);
    // Moves the thumb centre under the mouse (less the drag offset).
    void DragTo(const QPointF& mouse);
    void Notify(std::uint32_t message);

    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    int m_page = 20;
    int m_marginLeft = 0;
    int m_marginTop = 0;
    int m_marginRight = 0;
    int m_marginBottom = 0;
    bool m_vertical = false;

    SliderImage m_track;
    SliderImage m_activeTrack;
    SliderImage m_thumb;
    SliderImage m_activeThumb;
    bool m_transparentTrack = false;
    bool m_transparentThumb = false;

    int m_dragOffset = 0;
    bool m_dragging = false;
    bool m_hasFocus = false;
    bool m_drawFocusRect = true;
    bool m_enabled = true;
};
