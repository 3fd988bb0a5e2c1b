// SPDX-License-Identifier: GPL-3.0-or-later
// Render targets: windows that show pictures made on other threads.
//
// A decode thread hands each finished picture to a window by its handle with
// presentPicture(). The hand-off keeps at most one undisplayed picture per
// window: a newer picture replaces an older one the window has not painted
// yet, and the replaced one counts as dropped. One repaint request is posted
// per batch, so a window that paints in time shows every picture and a window
// that falls behind (or is hidden) costs its decoder nothing but a swap.
#pragma once

#include "platform/Window.h"

#include <QImage>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QPainter;

namespace platform {

// One picture on its way to a window, with the time of the frame it shows
// (milliseconds since 1970-01-01 UTC; 0 when the stream gave none).
struct PresentedPicture {
    QImage image;
    std::uint64_t frameTimeMs = 0;
};

namespace detail {
struct RenderSlot;
}

// Hands a picture to the render target registered under the handle and asks
// it to repaint. False when no render target is registered under the handle
// (the picture is then discarded). Any thread; never blocks on the window.
bool presentPicture(WindowHandle target, PresentedPicture picture);

// True while a render target is registered under the handle. Any thread.
bool isRenderTarget(WindowHandle target);

// The size in device pixels of the render target registered under the
// handle, so that a decoder can hand it pictures of exactly that size;
// empty when there is none or its size is not known. Any thread.
QSize renderTargetSize(WindowHandle target);

// A window that shows the newest picture presented to its handle, scaled to
// its client rectangle. It is a render target from createWindow() until
// destroyWindow(). Subclasses that override onCreate()/onDestroy() must call
// these base versions.
class CRenderTargetWnd : public CWnd {
public:
    explicit CRenderTargetWnd(QWidget* qtParent = nullptr);
    ~CRenderTargetWnd() override;

    // A picture has been painted since creation or the last clearPicture().
    bool hasPicture() const { return !m_picture.image.isNull(); }
    // How many new pictures all windows of the process have painted: when it
    // moved, what the screen shows has changed. Any thread.
    static std::uint64_t newPicturesPainted() { return s_newPicturesPainted.load(std::memory_order_relaxed); }
    // The picture shown now (null image when none). UI thread.
    const PresentedPicture& picture() const { return m_picture; }
    // Forgets the shown picture and any undisplayed one, and repaints (the
    // window then paints paintNoPicture()). UI thread.
    void clearPicture();

    // Counters for the statistics and benchmarks; readable from any thread.
    std::uint64_t picturesShown() const;
    std::uint64_t picturesDropped() const;
    // tickCount() when the latest picture was painted; 0 before the first.
    std::uint32_t lastShownTick() const { return m_lastShownTick.load(); }
    // Called on the UI thread each time a newly presented picture has been
    // painted, with its frame time; for latency measurements.
    void setShownHook(std::function<void(std::uint64_t frameTimeMs)> hook) { m_shownHook = std::move(hook); }

protected:
    bool onCreate() override;
    void onDestroy() override;

    // Draws the window when no picture has arrived yet; the default fills
    // the client area black. UI thread.
    virtual void paintNoPicture(QPainter& painter);
    // Draws on top of the picture after it was painted; default nothing.
    virtual void paintOverPicture(QPainter& painter) {}

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void unregisterTarget();
    QSize deviceSize() const;
    void noteDeviceSize();

    const std::shared_ptr<detail::RenderSlot> m_slot;
    PresentedPicture m_picture;  // UI thread only
    std::atomic<std::uint32_t> m_lastShownTick{0};
    std::function<void(std::uint64_t)> m_shownHook;  // UI thread only
    static inline std::atomic<std::uint64_t> s_newPicturesPainted{0};
};

}  // namespace platform
