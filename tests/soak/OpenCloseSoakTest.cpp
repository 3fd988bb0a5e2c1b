// SPDX-License-Identifier: GPL-3.0-or-later
// Open all sixteen live channels and close them, over and over, in one
// session, as a page's "open all" / "close all" does (StartViewAll /
// StopPreviewAll). The cycles take turns: two wait until every channel
// shows a new picture (the path where data arrived and was decoded), one
// closes as soon as every channel plays, one asks to close at once, while
// the open request may still be queued or running. Every cycle ends once no
// request waits, the channels are not running and every window is closed.
#include "SoakFixture.h"
#include "SoakOptions.h"

#include "preview/CChannelEX.h"
#include "preview/CPreviewPanel.h"
#include "preview/VideoStatus.h"

#include <QTest>

#include <array>
#include <string>

namespace {

constexpr int kChannels = 16;
constexpr int kOpenTimeoutMs = 30000;

enum class CloseWhen { PicturesShown, Playing, AtOnce };

CloseWhen closeWhen(int cycle)
{
    switch (cycle % 4) {
    case 1:
    case 2: return CloseWhen::PicturesShown;
    case 3: return CloseWhen::Playing;
    default: return CloseWhen::AtOnce;
    }
}

std::string statuses(CPreviewPanel& panel)
{
    std::string text;
    for (int i = 0; i < kChannels; ++i) {
        const CChannelEX* window = panel.slotWindow(i);
        text += window ? std::to_string(window->status()) + "/" + std::to_string(window->view().picturesShown()) +
                             (window->view().isVisible() ? "" : "(hidden)")
                       : "-";
        text += ' ';
    }
    return text;
}

}  // namespace

TEST_F(SoakTest, OpenAllCloseAllCycles)
{
    const std::uint32_t id = login();
    ASSERT_NE(id, 0u);
    // Sixteen windows on screen, so that every channel's pictures are painted.
    control->ShowChannels(kChannels);
    CPreviewPanel& panel = control->previewPanel();
    const auto streamType = static_cast<std::uint32_t>(soakOptions().streamType);
    const int cycles = soakOptions().openCycles;
    int waitedCycles = 0;

    soak("open all 16 live channels / close all", cycles, [&](int cycle) {
        std::array<std::uint64_t, kChannels> shownBefore{};
        for (int i = 0; i < kChannels; ++i)
            if (const CChannelEX* window = panel.slotWindow(i))
                shownBefore[static_cast<std::size_t>(i)] = window->view().picturesShown();

        EXPECT_EQ(control->StartViewAll(id, kChannels, streamType), 0u);
        const CloseWhen when = closeWhen(cycle);
        if (when != CloseWhen::AtOnce) {
            const bool opened = QTest::qWaitFor(
                [&] {
                    for (int i = 0; i < kChannels; ++i) {
                        CChannelEX* window = panel.slotWindow(i);
                        if (!window || !window->isPlaying())
                            return false;
                        if (when == CloseWhen::PicturesShown &&
                            (window->status() != preview::kStatusShowing ||
                             window->view().picturesShown() <= shownBefore[static_cast<std::size_t>(i)]))
                            return false;
                    }
                    return true;
                },
                kOpenTimeoutMs);
            if (!opened) {
                ADD_FAILURE() << "cycle " << cycle << ": not every channel "
                              << (when == CloseWhen::Playing ? "plays" : "shows a new picture")
                              << "; statuses " << statuses(panel);
                return false;
            }
            ++waitedCycles;
        }

        EXPECT_EQ(control->StopPreviewAll(id), 0u);
        // Closed: no request waiting, the channels not running (StopAll joins
        // its workers before it clears the running flag), every window
        // closed. A close that found nothing open may still be joining its
        // workers; the figures wait for those.
        const bool closed = QTest::qWaitFor(
            [&] {
                if (panel.supervisor().pendingRequests() != 0 || panel.isRunning())
                    return false;
                for (int i = 0; i < kChannels; ++i) {
                    const CChannelEX* window = panel.slotWindow(i);
                    if (window && (window->isPlaying() || window->playHandle() != 0))
                        return false;
                }
                return true;
            },
            kOpenTimeoutMs);
        if (!closed) {
            ADD_FAILURE() << "cycle " << cycle << ": the channels did not close; statuses " << statuses(panel);
            return false;
        }
        pumpEvents();
        return !::testing::Test::HasFailure();
    });
    EXPECT_EQ(control->Logout(id), 0u);
    if (HasFailure())
        return;
    // The recorder opened every channel of every cycle that waited for them
    // (and of those that closed at once, as many as got that far).
    const QJsonObject status = recorderStatus();
    EXPECT_GE(status.value(QStringLiteral("streamsTotal")).toInteger(), std::int64_t{kChannels} * waitedCycles);
    EXPECT_EQ(status.value(QStringLiteral("streamsOpen")).toInteger(), 0);
}
