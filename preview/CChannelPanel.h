// SPDX-License-Identifier: GPL-3.0-or-later
// The grid of sixteen video windows: one of eight layouts, paging, the
// selected window, the double-click single view, swapping two windows by
// dragging, and the window order kept in the recorder's settings file. The
// preview panel and the playback panel each own one.
#pragma once

#include "platform/Window.h"
#include "preview/CChannelEX.h"
#include "preview/GridLayout.h"

#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

class LanguageTable;

class CChannelPanel : public platform::CWnd {
public:
    static constexpr int kWindowCount = preview::kGridWindows;
    static constexpr int kFirstWindowId = 1234;

    CChannelPanel();
    ~CChannelPanel() override;

    void setLanguageTable(LanguageTable* table);

    // Layout by command identifier (188 one window ... 192 sixteen); other
    // identifiers and the layout already shown change nothing. UI thread.
    void SetLayout(int commandId);
    // Next or previous page of windows. UI thread.
    void NextGroup();
    void PreviousGroup();
    // The recorder shown: its address and web port; loads its window order.
    // UI thread.
    void SetDevice(const QString& address, std::uint32_t port);
    // Positions in use (the device's channel count). Any thread.
    void setTotal(int total) { m_total.store(total); }
    int total() const { return m_total.load(); }
    // This grid serves the playback panel (its order has its own section).
    void setPlayback(bool playback) { m_playback = playback; }
    bool isPlayback() const { return m_playback; }

    // The window with this index; nullptr outside 0..15.
    CChannelEX* window(int index);
    const CChannelEX* window(int index) const;
    // The first window whose occupied flag is clear, now occupied; nullptr
    // when all sixteen are. Windows the filter refuses are passed over
    // untouched. Any thread.
    CChannelEX* AllocateWindow(const std::function<bool(const CChannelEX&)>& refuse = {});
    // Makes one window the selected and only active one. UI thread.
    void selectWindow(int index);

    // The view as it is. UI thread.
    int selected() const { return m_selected; }
    int layoutCount() const { return m_view.layoutCount; }
    int requestedCount() const { return m_requestedCount; }
    int firstPosition() const { return m_view.firstPosition; }
    bool isSingleView() const { return m_view.singleView; }
    const preview::GridView& view() const { return m_view; }
    const preview::WindowOrder& order() const { return m_order; }
    const QString& settingsPath() const { return m_settingsPath; }
    const QString& deviceAddress() const { return m_deviceAddress; }
    int devicePort() const { return m_devicePort; }
    // Sets the whole view and lays it out (the playback bar's sixteen-window
    // split sets first and saved positions itself). UI thread.
    void setView(const preview::GridView& view, int requestedCount);
    // Places the windows of the current layout and hides the others. UI thread.
    void layOut();

    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    bool onCreate() override;
    void onDestroy() override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    template <std::size_t... I>
    static std::array<CChannelEX, kWindowCount> makeWindows(std::index_sequence<I...>)
    {
        return {CChannelEX(static_cast<int>(I))...};
    }

    void onWindowClick(int index);
    void onWindowDoubleClick(int index);
    void onButtonUp(int index);
    // The index of the shown window under a global point, or -1.
    int shownWindowAt(const QPoint& globalPos) const;
    void postToParent(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) const;

    std::array<CChannelEX, kWindowCount> m_windows;
    int m_selected = 0;
    preview::GridView m_view;      // layout count, first position, saved view, single view
    int m_requestedCount = 4;
    // Written by the preview supervisor when it starts channels.
    std::atomic<int> m_total{4};
    preview::WindowOrder m_order = preview::defaultWindowOrder();
    bool m_playback = false;
    QString m_settingsPath;        // empty until a device is set
    QString m_deviceAddress;
    int m_devicePort = 80;
    bool m_drag = false;
    platform::WindowHandle m_parentHandle = 0;
};
