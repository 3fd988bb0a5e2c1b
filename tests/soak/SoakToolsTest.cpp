// SPDX-License-Identifier: GPL-3.0-or-later
// The soak's own instruments: a soak that cannot see an opened descriptor,
// a started thread or held memory would call any leak flat.
#include "ProcessFigures.h"
#include "SoakLog.h"
#include "SoakOptions.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

TEST(SoakTools, FiguresSeeDescriptorsThreadsAndMemory)
{
    const ProcessFigures before = readProcessFigures();
    ASSERT_GT(before.rssKiB, 0);
    ASSERT_GE(before.threads, 1);
    ASSERT_GE(before.fds, 3);

    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    std::mutex lock;
    std::condition_variable changed;
    bool release = false;
    std::thread sleeper([&] {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return release; });
    });
    const std::int64_t heapBefore = liveHeapBytes();
    constexpr std::size_t kHeld = 64 * 1024 * 1024;
    auto held = std::make_unique<char[]>(kHeld);
    std::memset(held.get(), 1, kHeld);  // resident, not only reserved

    // Threads are compared loosely: a thread of Qt's pool left by an earlier
    // test in this process may end meanwhile.
    const ProcessFigures during = readProcessFigures();
    EXPECT_EQ(during.fds, before.fds + 2);
    EXPECT_GE(during.threads, before.threads + 1);
    EXPECT_GE(during.rssKiB, before.rssKiB + 60 * 1024);
    // The heap is compared with a margin: a thread just started (the sleeper,
    // or one of Qt's) may free a few bytes of its own set-up meanwhile.
    constexpr std::int64_t kMargin = 1024 * 1024;
    const auto held64 = static_cast<std::int64_t>(kHeld);
    EXPECT_GE(liveHeapBytes(), heapBefore + held64 - kMargin);

    held.reset();
    EXPECT_LT(liveHeapBytes(), heapBefore + held64 - kMargin);
    {
        std::lock_guard<std::mutex> guard(lock);
        release = true;
    }
    changed.notify_all();
    sleeper.join();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    const ProcessFigures after = readProcessFigures();
    EXPECT_EQ(after.fds, before.fds);
    EXPECT_LE(after.threads, during.threads - 1);
}

TEST(SoakTools, AProcessThatIsGoneHasNoFigures)
{
    const ProcessFigures gone = readProcessFigures(0x7FFFFFF0);
    EXPECT_EQ(gone.rssKiB, -1);
    EXPECT_EQ(gone.threads, -1);
    EXPECT_EQ(gone.fds, -1);
    EXPECT_EQ(findChildProcess("no-such-child"), 0);
}

TEST(SoakTools, CommandLineOverridesTheEnvironmentAndLeavesOtherArguments)
{
    ::setenv("VELK_SOAK_LOGIN_CYCLES", "7", 1);
    ::setenv("VELK_SOAK_OPEN_CYCLES", "9", 1);
    char program[] = "soak_tests";
    char open[] = "--open-cycles=1000";
    char filter[] = "--gtest_filter=Soak*";
    char every[] = "--sample-every";
    char everyValue[] = "25";
    char* argv[] = {program, open, filter, every, everyValue, nullptr};
    int argc = 5;
    SoakOptions options;
    std::string message;
    ASSERT_TRUE(parseSoakOptions(argc, argv, options, message)) << message;
    EXPECT_EQ(options.loginCycles, 7);
    EXPECT_EQ(options.openCycles, 1000);
    EXPECT_EQ(options.sampleEvery, 25);
    ASSERT_EQ(argc, 2);
    EXPECT_STREQ(argv[1], "--gtest_filter=Soak*");
    EXPECT_EQ(argv[2], nullptr);

    ::setenv("VELK_SOAK_OPEN_CYCLES", "many", 1);
    SoakOptions refused;
    int noArguments = 1;
    EXPECT_FALSE(parseSoakOptions(noArguments, argv, refused, message));
    EXPECT_NE(message.find("--open-cycles"), std::string::npos) << message;
    ::unsetenv("VELK_SOAK_LOGIN_CYCLES");
    ::unsetenv("VELK_SOAK_OPEN_CYCLES");

    char stream[] = "--stream-type=3";
    char* badArgv[] = {program, stream, nullptr};
    int badArgc = 2;
    EXPECT_FALSE(parseSoakOptions(badArgc, badArgv, refused, message));
}

TEST(SoakTools, WarmUpAndSamplingFollowTheCycleCount)
{
    const SoakOptions defaults;
    EXPECT_EQ(defaults.warmupFor(50), 5);
    EXPECT_EQ(defaults.warmupFor(1000), 100);
    EXPECT_EQ(defaults.warmupFor(3), 2);  // a reference before the last cycle
    EXPECT_EQ(defaults.warmupFor(1), 1);
    EXPECT_EQ(defaults.sampleEveryFor(1000), 100);
    EXPECT_EQ(defaults.sampleEveryFor(4), 1);
}

TEST(SoakTools, OnlyGrowthBeyondItsBoundIsAnExcess)
{
    SoakLog log("test");
    SoakSample warm;
    warm.phase = "warm-up";
    warm.viewer = {100 * 1024, 20, 30};
    warm.viewerTrimmedRssKiB = 90 * 1024;
    warm.viewerHeapBytes = 10'000'000;
    warm.recorder = {50 * 1024, 3, 8};
    SoakSample end = warm;
    end.phase = "after";
    end.viewer.fds = 31;                  // one descriptor more
    end.viewer.rssKiB += 40 * 1024;       // not judged: free pages the allocator kept
    end.viewerTrimmedRssKiB += 20 * 1024;  // 20 MiB more in use
    end.viewerHeapBytes += 1024 * 1024;   // within 4 MiB
    end.recorder.threads = 3;
    log.add(warm);
    log.add(end);
    SoakBounds bounds;
    bounds.heapBytes = 4 * 1024 * 1024;
    bounds.rssKiB = 16 * 1024;
    const auto found = log.excesses(bounds);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_NE(found[0].find("viewer descriptors grew from 30 to 31"), std::string::npos) << found[0];
    EXPECT_NE(found[1].find("viewer RSS"), std::string::npos) << found[1];
    bounds.checkRss = false;
    bounds.fds = 1;
    EXPECT_TRUE(log.excesses(bounds).empty());
    EXPECT_NE(log.table().find("after - warm-up"), std::string::npos);
}

TEST(SoakTools, ASlowLeakShowsOverTheSecondHalf)
{
    // The heap fills a bounded log until cycle 40, then leaks 2 KiB a cycle:
    // within the whole-run bound, beyond the second half's.
    SoakLog log("test");
    for (int cycle = 10; cycle <= 500; cycle += 10) {
        SoakSample sample;
        sample.phase = cycle == 10 ? "warm-up" : cycle == 500 ? "after" : "cycle";
        sample.cycle = cycle;
        sample.viewerHeapBytes = 3'000'000 + std::min(cycle, 40) * 10'000 + cycle * 2048;
        log.add(sample);
    }
    ASSERT_NE(log.middle(), nullptr);
    EXPECT_EQ(log.middle()->cycle, 260);
    SoakBounds bounds;
    bounds.heapBytes = 4 * 1024 * 1024;
    bounds.lateHeapBytes = 256 * 1024;
    bounds.checkRss = false;
    const auto found = log.excesses(bounds);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].find("second half"), std::string::npos) << found[0];
    bounds.lateHeapBytes = 512 * 1024;
    EXPECT_TRUE(log.excesses(bounds).empty());
}
