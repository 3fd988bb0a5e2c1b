// SPDX-License-Identifier: GPL-3.0-or-later
// A skinned push button drawn by itself from PNG skins: four images for its
// states (standard, hot, pressed, disabled) and four alternate ones shown
// while a toggle button is toggled on. Each state's picture is composed once
// over the background under the button and kept. The background is what the
// parent painted there: the parent hands it over with CopyBackground after
// painting its own background; otherwise the button renders the parent's
// own painting under it on first use.
//
// Whenever the button comes to be drawn pressed it posts its control id as
// a message number to its parent, wParam 1 when it is (now) toggled on,
// else 0. A double click counts as a second press. A release over the
// button is its click command (the click handler). Hovering shows the hot
// picture and pops the tooltip up at once.
//
// UI thread only.
#pragma once

#include "platform/Window.h"
#include "widgets/CGdiPlusBitmapResource.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>

class QPainter;

class CGdipButton : public platform::CWnd {
public:
    enum State { Standard = 0, Hot = 1, Pressed = 2, Disabled = 3 };
    static constexpr int kStateCount = 4;
    // The tooltip's automatic delay; it stays up ten times as long.
    static constexpr int kToolTipDelayMs = 2000;

    CGdipButton();
    ~CGdipButton() override;

    // Loads the standard (or alternate) images by skin name, in state order;
    // an empty name leaves that state without an image. Returns false at the
    // first image that fails to load: that state is left empty, those before
    // it stay loaded, those after it keep what they had.
    bool SetImages(const QString& standard, const QString& hot = {}, const QString& pressed = {},
                   const QString& disabled = {});
    bool SetAltImages(const QString& standard, const QString& hot = {}, const QString& pressed = {},
                      const QString& disabled = {});
    bool HasImage(State state, bool alternate = false) const;

    // Makes the button a toggle; refused (false) unless a pressed image was
    // set. A new toggle starts toggled on (showing the alternate images).
    // EnableToggle(false) makes it a plain push button again.
    bool EnableToggle(bool enable = true);
    bool IsToggle() const { return m_toggle; }
    bool IsToggledOn() const { return m_toggledOn; }
    // Sets the toggle state without a press (no message); toggles only.
    void SetToggledOn(bool on);

    // A non-empty text replaces the tooltip's text; `activate` turns the
    // tooltip on or off. An empty text changes nothing.
    void SetToolTipText(const QString& text, bool activate = true);
    QString ToolTipText() const { return m_toolTipText; }
    bool IsToolTipActive() const { return m_toolTipActive; }

    // The grey flag: the button shows its disabled picture. Owners set it
    // to show a button as unavailable and read it back.
    void SetGrey(bool grey);
    bool IsGrey() const { return m_grey; }

    // Text drawn centred over the picture (grey while the window is
    // disabled); empty draws none.
    void SetWindowText(const QString& text);
    QString GetWindowText() const { return m_text; }

    // Called after a press is released over the button.
    void setClickHandler(std::function<void()> handler) { m_clickHandler = std::move(handler); }

    // Copies the parent's pixels under the button from a painter that draws
    // the parent in the parent's coordinates onto an image or pixmap (such
    // as a CMemDC's surface); other painters are ignored. The pictures of
    // every state are composed again when it changed.
    void CopyBackground(QPainter* parentPainter);
    // Same from a picture of the parent whose top-left pixel is at `origin`
    // in the parent's coordinates.
    void CopyBackground(const QImage& parentPicture, QPoint origin = {});
    bool HasBackground() const { return !m_background.isNull(); }

    // The state the button is drawn in now, and whether from the alternate
    // set.
    State DrawnState() const;
    bool DrawnAlternate() const;
    bool IsHovering() const { return m_hover; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct StateImage {
        CGdiPlusBitmapResource bitmap;
        QImage surface;  // background + image, composed on first use
    };
    using ImageSet = std::array<StateImage, kStateCount>;

    bool LoadSet(ImageSet& set, const std::array<QString, kStateCount>& names);
    // Renders the parent's own painting (without its children) under the
    // button as the background.
    void GrabParentBackground();
    // Keeps a new background (pixels at a device pixel ratio); the pictures
    // of the states are composed again when it differs from the old one.
    void TakeBackground(QImage copy, qreal ratio);
    // Builds the picture of every loaded state that has none yet.
    void ComposeSurfaces();
    void DropSurfaces();
    const QImage* SurfaceFor(State state, bool alternate) const;
    // The button starts or stops being drawn pressed.
    void SetDrawnPressed(bool pressed);
    void Press(const QPointF& at);
    void StartHover();
    void ShowToolTip();

    ImageSet m_images;
    ImageSet m_altImages;
    QImage m_background;  // the parent's pixels under the button

    bool m_grey = false;
    bool m_toggle = false;
    bool m_toggledOn = false;
    bool m_hover = false;
    bool m_buttonDown = false;     // the left button went down on the button
    bool m_drawnPressed = false;   // down and over the button
    bool m_painting = false;       // inside paintEvent

    QString m_toolTipText;
    bool m_toolTipActive = false;
    QString m_text;
    std::function<void()> m_clickHandler;
};
