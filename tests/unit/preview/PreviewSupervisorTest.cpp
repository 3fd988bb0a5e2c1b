// SPDX-License-Identifier: GPL-3.0-or-later
// The supervisor's request handling, with recorded actions in place of the
// panel's channels.
#include "PreviewTestSupport.h"

#include "platform/Sync.h"
#include "preview/PreviewSupervisor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

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

    // Running: a further start restarts nothing; it only reopens what is
    // closed. Requests are carried out in turn, so once the reopen is done
    // a second restart from the first two starts would have shown.
    supervisor.requestStart();
    ASSERT_TRUE(waitFor([&] { return recorded.reopens.load() == 1; }));
    EXPECT_EQ(recorded.restarts.load(), 1);
    EXPECT_EQ(recorded.stops.load(), 0);
}

TEST(PreviewSupervisor, OnlyTheNewestWaitingRequestIsCarriedOut)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    // Keep the supervisor busy with a stop while a start and a stop queue up.
    recorded.release.reset();
    supervisor.requestStop();
    ASSERT_TRUE(waitFor([&] { return recorded.entered.load() == 1; }));
    supervisor.requestStart();
    supervisor.requestStop();
    recorded.release.set();
    ASSERT_TRUE(waitFor([&] { return recorded.stops.load() == 2 && supervisor.pendingRequests() == 0; }));
    // A last start as a marker: once it ran, a start that was not dropped
    // would have restarted the channels before it.
    supervisor.requestStart();
    ASSERT_TRUE(waitFor([&] { return recorded.restarts.load() >= 1 && supervisor.pendingRequests() == 0; }));
    EXPECT_EQ(recorded.restarts.load(), 1);
    EXPECT_EQ(recorded.stops.load(), 2);
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
    // A stop as a marker: the cleared start would have run before it.
    supervisor.requestStop();
    ASSERT_TRUE(waitFor([&] { return recorded.stops.load() == 2; }));
    EXPECT_EQ(recorded.restarts.load(), 0);
}

TEST(PreviewSupervisor, ShutdownEndsTheThreadAndDropsLaterRequests)
{
    RecordedActions recorded;
    PreviewSupervisor supervisor(recorded.actions());
    supervisor.shutdown();  // returns once the thread was joined
    supervisor.requestStart();
    EXPECT_EQ(supervisor.pendingRequests(), 0u);
    supervisor.shutdown();  // twice is harmless
}

// A shutdown that lands while the thread is in a round, just before it
// clears its wake-up to sleep, must still end the thread: the destructor
// joins it. The shutdown lands once in the check that comes before the
// early clearing (a stop while nothing runs) and once in the stop itself.
TEST(PreviewSupervisor, ShutdownDuringARoundIsNeverLost)
{
    for (const bool inStop : {false, true}) {
        SCOPED_TRACE(inStop ? "shutdown while closing" : "shutdown while checking");
        std::atomic<PreviewSupervisor*> self{nullptr};
        platform::Event entered{true, false};
        // Returns once shutdown() has set the quit flag: from then on a new
        // request is dropped instead of queued.
        auto waitForQuit = [&] {
            entered.set();
            for (;;) {
                PreviewSupervisor* supervisor = self.load();
                supervisor->requestStart();
                if (supervisor->pendingRequests() == 0)
                    return;
                supervisor->clearRequests();
                std::this_thread::yield();
            }
        };
        auto* supervisor = new PreviewSupervisor({[&] {
                                                      if (inStop)
                                                          waitForQuit();
                                                  },
                                                  [] {}, [] {},
                                                  [&] {
                                                      if (!inStop)
                                                          waitForQuit();
                                                      return false;
                                                  }});
        self = supervisor;
        supervisor->requestStop();
        ASSERT_TRUE(entered.wait(5000));

        std::atomic<bool> joined{false};
        std::thread ender([&] {
            delete supervisor;
            joined = true;
        });
        if (!waitFor([&] { return joined.load(); })) {
            ADD_FAILURE() << "the supervisor thread missed its shutdown and never ends";
            std::fflush(nullptr);
            std::_Exit(1);  // the join would hang the test program too
        }
        ender.join();
    }
}
