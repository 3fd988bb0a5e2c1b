// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceCallback.h"
#include "device/DeviceSession.h"
#include "platform/Messages.h"
#include "platform/Window.h"

#include <QCoreApplication>
#include <QRect>

#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

namespace {

class RecordingWindow : public platform::CWnd {
public:
    platform::LRESULT windowProc(std::uint32_t msg, platform::WPARAM wParam, platform::LPARAM lParam) override
    {
        received.emplace_back(msg, wParam, lParam);
        return 0;
    }
    std::vector<std::tuple<std::uint32_t, platform::WPARAM, platform::LPARAM>> received;
};

class DeviceCallbackTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(window.createWindow(nullptr, QRect(0, 0, 10, 10), 1, false)); }
    void TearDown() override { window.destroyWindow(); }

    void deliverPosted() { QCoreApplication::processEvents(); }

    RecordingWindow window;
};

}  // namespace

TEST_F(DeviceCallbackTest, KindEightPostsStateChangeToTheSessionsWindow)
{
    DeviceSession session;
    session.setControlWindow(window.handle());

    // Called on a library thread, as the network library does.
    std::int32_t result = -1;
    std::thread library([&] { result = DeviceCallback(8, session.id(), 1, 2, 3); });
    library.join();
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(window.received.empty());  // posted, not sent
    deliverPosted();
    ASSERT_EQ(window.received.size(), 1u);
    EXPECT_EQ(window.received[0],
              std::make_tuple(std::uint32_t{platform::WM_DEVICE_STATE_CHANGED}, platform::WPARAM{0},
                              platform::LPARAM{0}));
}

TEST_F(DeviceCallbackTest, OtherKindsUnknownIdsAndNullUserDataDoNothing)
{
    DeviceSession session;
    session.setControlWindow(window.handle());
    EXPECT_EQ(DeviceCallback(3, session.id(), 0, 0, 0), 0);
    EXPECT_EQ(DeviceCallback(0, session.id(), 0, 0, 0), 0);
    EXPECT_EQ(DeviceCallback(9, session.id(), 0, 0, 0), 0);
    EXPECT_EQ(DeviceCallback(8, 0, 0, 0, 0), 0);
    EXPECT_EQ(DeviceCallback(8, session.id() + 1, 0, 0, 0), 0);
    deliverPosted();
    EXPECT_TRUE(window.received.empty());
}

TEST_F(DeviceCallbackTest, DeletedSessionNoLongerReachesTheWindow)
{
    std::uint32_t id = 0;
    {
        DeviceSession session;
        session.setControlWindow(window.handle());
        id = session.id();
    }
    EXPECT_EQ(DeviceCallback(8, id, 0, 0, 0), 0);

    registerSessionWindow(4242, window.handle());
    unregisterSessionWindow(4242);
    EXPECT_EQ(DeviceCallback(8, 4242, 0, 0, 0), 0);
    deliverPosted();
    EXPECT_TRUE(window.received.empty());
}
