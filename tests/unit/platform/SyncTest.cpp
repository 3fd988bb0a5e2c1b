// SPDX-License-Identifier: GPL-3.0-or-later
// Critical sections, events with timeouts and the tick count.
#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace platform;

namespace {

TEST(CriticalSection, IsRecursiveAndExcludesOtherThreads)
{
    CriticalSection cs;
    CAtomLock outer(cs);
    {
        CAtomLock inner(cs);  // same thread again
        bool otherGotIn = true;
        std::thread([&] { otherGotIn = cs.tryEnter(); }).join();
        EXPECT_FALSE(otherGotIn);
    }
}

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    Event event;  // auto-reset, not set
    EXPECT_FALSE(event.wait(0));
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (event.wait(2000))
                ++released;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    event.set();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(released.load(), 1);
    EXPECT_FALSE(event.isSet()) << "the released waiter cleared it";
    event.set();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(released.load(), 2);
    event.set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released.load(), 3);
}

TEST(Event, ManualResetStaysSetUntilReset)
{
    Event event(true, true);
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.isSet());
    event.reset();
    EXPECT_FALSE(event.wait(0));

    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (event.wait())
                ++released;
        });
    event.set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released.load(), 3);
}

TEST(Event, WaitTimesOutAfterTheGivenTime)
{
    Event event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.wait(50));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST(TickCount, FollowsSleeping)
{
    const std::uint32_t before = tickCount();
    sleepMs(30);
    // Unsigned difference: correct across the 32-bit wrap as well.
    const std::uint32_t elapsed = tickCount() - before;
    EXPECT_GE(elapsed, 29u);
    EXPECT_LT(elapsed, 5000u);
}

}  // namespace
