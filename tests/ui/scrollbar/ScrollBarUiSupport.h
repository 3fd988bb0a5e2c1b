// SPDX-License-Identifier: GPL-3.0-or-later
// What the scroll bar's window tests share: a parent window that records
// the scroll notifications it receives, input injected the way the host
// injects it (cursor first, then the window-system event), waiting on a
// condition, and strips of known colours to draw from.
#pragma once

#include "widgets/CXeScrollBar.h"

#include <QColor>
#include <QEvent>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace scrollbar_test {

struct Notification {
    std::uint32_t msg = 0;
    int code = 0;
    int pos = 0;  // the high word, signed
    platform::LPARAM bar = 0;
};

class RecordingParent : public platform::CWnd {
public:
    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override;

    std::vector<Notification> received;
    // Called after recording, e.g. to scroll the bar as an owner would.
    std::function<void(const Notification&)> onNotify;

    std::vector<int> codes() const;
    int count(int code) const;
};

// A bar whose timer handler a test may call directly.
class TestBar : public CXeScrollBar {
public:
    using CXeScrollBar::onTimer;
};

// Waits, running the event loop, until done() holds or timeoutMs passed.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Input into the window under a point of a widget, as a user would give it.
void mousePress(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void mouseMove(QWidget* widget, QPoint at);
void mouseRelease(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton);
void wheel(QWidget* widget, QPoint at, int angleDelta);
// Keys go to the focus window.
void sendKey(QEvent::Type type, int key, bool autoRepeat = false);

// Strips of solid blocks: each piece of each state has its own colour, so a
// pixel tells which strip and which piece was drawn there.
enum class Piece { FirstArrow, TrackBefore, CapStart, Body, Grip, CapEnd, TrackAfter, SecondArrow };
QColor pieceColour(int stripIndex, Piece piece, bool doubled = false);
// Writes the eight strips (and their @2x twins with a different tint) to a
// folder; skip leaves a strip out.
void writeStrips(const QString& folder, int skip = -1);

// A top-level recording parent, shown and active, with a bar in it.
class ScrollBarFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the bar (style bits from ScrollInfo.h) at rect in the parent.
    TestBar& createBar(std::uint32_t style, const QRect& rect);
    void setRange(int minimum, int maximum, unsigned page, int pos);
    // A point of the bar at a distance along its axis, in the middle across.
    QPoint along(int distance) const;
    QPoint centreOf(widgets::ScrollPart part) const;

    std::unique_ptr<RecordingParent> parent;
    std::unique_ptr<TestBar> bar;
    QTemporaryDir strips;
};

}  // namespace scrollbar_test
