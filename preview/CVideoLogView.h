// SPDX-License-Identifier: GPL-3.0-or-later
// The view inside a video window (window text "video view"): the decoder
// presents its pictures to this window's handle; while no picture is shown
// it draws its status text. Mouse and key gestures go to its owner, the
// video window, as private messages.
#pragma once

#include "platform/RenderTarget.h"

#include <QPoint>
#include <QRgb>

#include <atomic>
#include <cstdint>

class LanguageTable;

class CVideoLogView : public platform::CRenderTargetWnd {
public:
    CVideoLogView();
    ~CVideoLogView() override;

    void setLanguageTable(LanguageTable* table) { m_language.store(table); }
    // The number shown when idle is this index + 1 (the owner's window index).
    void setIndexShown(int index) { m_indexShown = index; }
    void setBackgroundColor(QRgb argb);
    QRgb backgroundColor() const { return m_backgroundColor; }

    // Stores the status and has the view show it. A status other than 2
    // takes the picture away so that its text shows. Any thread.
    void setStatus(int status);
    int status() const { return m_status.load(); }
    // The text the current status draws (empty for none). Any thread.
    QString statusText() const;

    // The handle for other threads to post to (0 when not created). Any thread.
    platform::WindowHandle postHandle() const { return m_postHandle.load(); }
    // The owner that gets the gestures; set at creation. UI thread.
    void setOwner(platform::WindowHandle owner) { m_owner = owner; }

    bool isHovered() const { return m_hoverTracking; }
    // Where the left button was last released, in global coordinates. UI thread.
    QPoint lastReleaseGlobal() const { return m_lastReleaseGlobal; }

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void paintNoPicture(QPainter& painter) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Takes the picture away when the status hides it, and repaints. UI thread.
    void showStatus();
    platform::LRESULT toOwner(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam, bool send);

    bool m_hoverTracking = false;   // UI thread only
    QRgb m_backgroundColor = 0xFF000000u;
    int m_indexShown = 0;
    bool m_buttonDown = false;      // UI thread only
    QPoint m_lastReleaseGlobal;     // UI thread only
    // Set by stream callbacks and workers, drawn on the UI thread.
    std::atomic<int> m_status{0};
    std::atomic<LanguageTable*> m_language{nullptr};
    std::atomic<platform::WindowHandle> m_postHandle{0};
    platform::WindowHandle m_owner = 0;  // UI thread only
};
