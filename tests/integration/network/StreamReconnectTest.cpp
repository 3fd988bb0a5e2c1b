// SPDX-License-Identifier: GPL-3.0-or-later
// When a lost stream tries again and when it gives up, on made-up times.
#include "StreamReconnect.h"

#include <gtest/gtest.h>

using velk::tovr::StreamReconnect;
using namespace std::chrono_literals;

TEST(StreamReconnect, BacksOffUpToTheLargestDelayAndStartsAfreshWhenBack)
{
    StreamReconnect r(100ms, 1000ms, 5000ms);
    const auto t0 = StreamReconnect::Clock::time_point{} + 1h;
    EXPECT_FALSE(r.isLost());
    r.lost(t0);
    EXPECT_TRUE(r.isLost());
    for (const auto expected : {100ms, 200ms, 400ms, 800ms, 1000ms, 1000ms})
        EXPECT_EQ(r.nextDelay(), expected);
    // A second loss report while lost keeps the first time.
    r.lost(t0 + 3s);
    EXPECT_EQ(r.offlineAt(), t0 + 5s);
    EXPECT_FALSE(r.isOffline(t0 + 4999ms));
    EXPECT_TRUE(r.isOffline(t0 + 5s));
    r.back();
    EXPECT_FALSE(r.isLost());
    EXPECT_FALSE(r.isOffline(t0 + 1h));
    r.lost(t0 + 10s);
    EXPECT_EQ(r.nextDelay(), 100ms);
    EXPECT_EQ(r.offlineAt(), t0 + 15s);
}

TEST(StreamReconnect, ALargestDelayBelowTheFirstIsRaisedToIt)
{
    StreamReconnect r(500ms, 100ms, 1000ms);
    r.lost(StreamReconnect::Clock::now());
    EXPECT_EQ(r.nextDelay(), 500ms);
    EXPECT_EQ(r.nextDelay(), 500ms);
}
