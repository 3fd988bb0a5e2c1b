// SPDX-License-Identifier: GPL-3.0-or-later
// Window handles, posted and sent private messages across threads.
#include "RecordingWindow.h"
#include "TestSupport.h"

#include "platform/Sync.h"

#include <gtest/gtest.h>

#include <future>
#include <set>

using namespace platform;
using namespace platform::test;

namespace {

constexpr QRect kRect(0, 0, 64, 48);

TEST(WindowHandle, CreateAssignsUniqueHandlesAndDestroyReleasesThem)
{
    RecordingWindow a;
    RecordingWindow b;
    EXPECT_FALSE(a.isCreated());
    EXPECT_EQ(a.handle(), 0u);
    ASSERT_TRUE(a.createWindow(nullptr, kRect, 7, false));
    ASSERT_TRUE(b.createWindow(&a, QRect(1, 2, 30, 40), 8, true));
    EXPECT_NE(a.handle(), 0u);
    EXPECT_NE(a.handle(), b.handle());
    EXPECT_EQ(a.controlId(), 7);
    EXPECT_EQ(b.parentWidget(), &a);
    EXPECT_EQ(b.geometry(), QRect(1, 2, 30, 40));
    EXPECT_FALSE(a.isVisible());
    EXPECT_EQ(windowFromHandle(a.handle()), &a);
    EXPECT_TRUE(isWindow(b.handle()));
    EXPECT_FALSE(a.createWindow(nullptr, kRect, 9, false)) << "a live window cannot be created twice";

    const WindowHandle old = b.handle();
    b.destroyWindow();
    b.destroyWindow();  // twice is harmless
    EXPECT_EQ(b.destroyCalls.load(), 1);
    EXPECT_FALSE(isWindow(old));
    EXPECT_EQ(windowFromHandle(old), nullptr);
    ASSERT_TRUE(b.createWindow(&a, kRect, 8, false));
    EXPECT_NE(b.handle(), old) << "handles are not reused straight away";
    EXPECT_FALSE(isWindow(0));
}

TEST(WindowHandle, RefusedCreateLeavesNoHandle)
{
    RecordingWindow refusing(false);
    EXPECT_FALSE(refusing.createWindow(nullptr, kRect, 1, true));
    EXPECT_FALSE(refusing.isCreated());
    EXPECT_EQ(refusing.handle(), 0u);
    EXPECT_FALSE(refusing.isVisible());
}

TEST(PostMessage, DeliversInOrderOnTheWindowThread)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    const WindowHandle hwnd = window.handle();
    std::thread worker([hwnd] {
        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE(postMessage(hwnd, 0x401, static_cast<WPARAM>(i), -i));
    });
    worker.join();
    EXPECT_EQ(window.messageCount(), 0u) << "posted messages wait for the event loop";
    ASSERT_TRUE(spinUntil([&] { return window.messageCount() == 100; }));
    const auto messages = window.messages();
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(messages[i].wParam, static_cast<WPARAM>(i));
        EXPECT_EQ(messages[i].lParam, -i);
        EXPECT_EQ(messages[i].thread, std::this_thread::get_id());
    }
}

TEST(PostMessage, DeadHandlesAndDestroyedWindowsGetNothing)
{
    EXPECT_FALSE(postMessage(0, 0x400));
    EXPECT_FALSE(postMessage(0xFFFFFFF0u, 0x400));

    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    const WindowHandle hwnd = window.handle();
    ASSERT_TRUE(postMessage(hwnd, 0x401));
    window.destroyWindow();  // the pending message is dropped
    EXPECT_FALSE(postMessage(hwnd, 0x402));
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    spinFor(50);
    EXPECT_EQ(window.messageCount(), 0u);
}

TEST(SendMessage, OnTheWindowThreadIsADirectCall)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    EXPECT_EQ(sendMessage(window.handle(), 0x401, 40, 2), 42);
    EXPECT_EQ(window.messageCount(), 1u);
    EXPECT_EQ(sendMessage(0, 0x401, 1, 1), 0);
}

TEST(SendMessage, FromAWorkerWaitsForTheResult)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    const WindowHandle hwnd = window.handle();
    auto result = std::async(std::launch::async, [hwnd] {
        LRESULT sum = 0;
        for (int i = 0; i < 20; ++i)
            sum += sendMessage(hwnd, 0x413, static_cast<WPARAM>(i), 1);
        return sum;
    });
    ASSERT_TRUE(spinUntil([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(result.get(), 190 + 20);
    for (const auto& m : window.messages())
        EXPECT_EQ(m.thread, std::this_thread::get_id());
}

TEST(SendMessage, ToAWindowDestroyedWhileWaitingReturnsZero)
{
    for (bool deleteObject : {false, true}) {
        auto* window = new RecordingWindow;
        ASSERT_TRUE(window->createWindow(nullptr, kRect, 1, false));
        const WindowHandle hwnd = window->handle();
        std::atomic<bool> sending{false};
        auto result = std::async(std::launch::async, [&] {
            sending = true;
            return sendMessage(hwnd, 0x414, 5, 5);
        });
        while (!sending)
            std::this_thread::yield();
        sleepMs(30);  // the send is queued (or, if late, finds no window)
        if (deleteObject) {
            delete window;
            window = nullptr;
        } else {
            window->destroyWindow();
        }
        ASSERT_EQ(result.wait_for(std::chrono::seconds(5)), std::future_status::ready);
        EXPECT_EQ(result.get(), 0);
        if (window) {
            spinFor(20);
            EXPECT_EQ(window->messageCount(), 0u);
            delete window;
        }
    }
}

TEST(SendMessage, WindowThreadWaitingOnAnEventStillHandlesSends)
{
    // The worker sends to the UI thread and only then signals the event the
    // UI thread waits on: without handling sends during the wait this would
    // deadlock.
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    const WindowHandle hwnd = window.handle();
    Event done(true);
    LRESULT answer = 0;
    std::thread worker([&] {
        answer = sendMessage(hwnd, 0x413, 2, 3);
        answer += sendMessage(hwnd, 0x413, 10, 0);
        done.set();
    });
    EXPECT_TRUE(done.wait(5000));
    worker.join();
    EXPECT_EQ(answer, 15);
    ASSERT_EQ(window.messageCount(), 2u);
    EXPECT_EQ(window.messages()[0].thread, std::this_thread::get_id());
    spinFor(20);  // the queued copies of those sends are no-ops now
    EXPECT_EQ(window.messageCount(), 2u);
}

TEST(SendMessage, EventWaitOnWindowThreadStillTimesOut)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    Event never;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(never.wait(40));
    EXPECT_GE(clock.elapsed(), 39);
}

TEST(SendMessage, ManyWorkersPostAndSendConcurrently)
{
    RecordingWindow window;
    ASSERT_TRUE(window.createWindow(nullptr, kRect, 1, false));
    const WindowHandle hwnd = window.handle();
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < 25; ++i) {
                postMessage(hwnd, 0x401, static_cast<WPARAM>(w), i);
                EXPECT_EQ(sendMessage(hwnd, 0x402, static_cast<WPARAM>(w), i), w + i);
            }
            ++finished;
        });
    }
    ASSERT_TRUE(spinUntil([&] { return finished == 4 && window.messageCount() == 200; }));
    for (auto& t : workers)
        t.join();
}

}  // namespace
