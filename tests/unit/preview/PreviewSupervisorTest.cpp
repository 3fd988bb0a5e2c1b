// SPDX-License-Identifier: GPL-3.0-or-later
// The supervisor's request handling, with recorded actions in place of the
// panel's channels.
#include "PreviewTestSupport.h"

#include "platform/Sync.h"
#include "preview/PreviewSupervisor.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace preview_test;

namespace {

// Actions that count their calls; an action may be held until released.
struct RecordedActions {
    std::atomic<int> stops{0};
    std::atomic<int> restarts{0};
    std::atomic<int> reopens{0};
    std::atomic<bool> running{false};
    platform::Event release{true, true};  // set: actions run straight through
    std::atomic<int> entered{0};

    PreviewSupervisor::Actions actions()
    {
        return {[this] {
                    ++entered;
                    release.wait();
                    ++stops;
                    running = false;
                },
                [this] {
                    ++entered;
                    release.wait();
                    platform::sleepMs(20);
                    ++restarts;
                    running = true;
                },
                [this] { ++reopens; },
                [this] { return running.load(); }};
    }
};

// The condition may consume what it looks at: it is asked once a round.
bool waitFor(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        platform::sleepMs(10);
    }
    return false;
}

}  // namespace

TEST(PreviewSupervisor, TwoQuickStartsOpenTheChannelsOnce)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    supervisor.requestStart();
    supervisor.requestStart();
    ASSERT_TRUE(waitFor([&] { return recorded.restarts.load() == 1 && supervisor.pendingRequests() == 0; }));
    platform::sleepMs(100);
    EXPECT_EQ(recorded.restarts.load(), 1);
    EXPECT_EQ(recorded.stops.load(), 0);

    // Running: a further start restarts nothing; it only reopens what is closed.
    platform::takeDebugLines();
    const int reopens = recorded.reopens.load();
    supervisor.requestStart();
    ASSERT_TRUE(waitFor([] { return debugLogHas(platform::takeDebugLines(), " PreviewCtrolProc While check 3\n"); }));
    EXPECT_TRUE(waitFor([&] { return recorded.reopens.load() == reopens + 1; }));
    EXPECT_EQ(recorded.restarts.load(), 1);
}

TEST(PreviewSupervisor, OnlyTheNewestWaitingRequestIsCarriedOut)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    // Keep the supervisor busy with a stop while a start and a stop queue up.
    recorded.release.reset();
    supervisor.requestStop();
    ASSERT_TRUE(waitFor([&] { return recorded.entered.load() == 1; }));
    platform::takeDebugLines();
    supervisor.requestStart();
    supervisor.requestStop();
    recorded.release.set();
    ASSERT_TRUE(waitFor([&] { return recorded.stops.load() == 2 && supervisor.pendingRequests() == 0; }));
    platform::sleepMs(100);
    EXPECT_EQ(recorded.restarts.load(), 0);
    EXPECT_EQ(recorded.stops.load(), 2);
    const std::vector<std::string> lines = platform::takeDebugLines();
    EXPECT_TRUE(debugLogHas(lines, " PreviewCtrolProc While check 5\n"));
    EXPECT_TRUE(debugLogHas(lines, "PreviewCtrolProc While check 6 \n"));
}

TEST(PreviewSupervisor, ClearedRequestsAreNotCarriedOut)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    recorded.release.reset();
    supervisor.requestStop();
    ASSERT_TRUE(waitFor([&] { return recorded.entered.load() == 1; }));
    supervisor.requestStart();
    supervisor.clearRequests();
    recorded.release.set();
    ASSERT_TRUE(waitFor([&] { return recorded.stops.load() == 1; }));
    platform::sleepMs(100);
    EXPECT_EQ(recorded.restarts.load(), 0);
}

TEST(PreviewSupervisor, ShutdownEndsTheThreadAndDropsLaterRequests)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    platform::takeDebugLines();
    supervisor.shutdown();
    EXPECT_TRUE(debugLogHas(platform::takeDebugLines(), " PreviewCtrolProc While check 10 \n"));
    supervisor.requestStart();
    EXPECT_EQ(supervisor.pendingRequests(), 0u);
    supervisor.shutdown();  // twice is harmless
}
