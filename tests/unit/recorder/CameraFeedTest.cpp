// SPDX-License-Identifier: GPL-3.0-or-later
// A camera feed's frames, losses and listeners, without a source or a network.
#include "CameraFeed.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velk::recorder {
namespace {

CameraFrame frame(bool key, std::int64_t wallMs, std::size_t bytes = 100) {
    return {key, wallMs, std::make_shared<const std::vector<std::uint8_t>>(bytes, std::uint8_t(wallMs))};
}

const CameraFormat kFullHd{media::VideoCodec::H265, 1920, 1080, 25};

struct Recording : CameraFeedListener {
    std::vector<std::string> heard;
    std::function<void()> onFrame;
    void onCameraFrame(const CameraFeed&, const CameraFrame& f) override {
        heard.push_back((f.key ? "K" : "d") + std::to_string(f.wallMs));
        if (onFrame) onFrame();
    }
    void onCameraLost(const CameraFeed&) override { heard.push_back("lost"); }
};

TEST(CameraFeed, KeepsFromTheLastKeyFrameAndDropsWhatCannotBeDecoded) {
    CameraFeed feed(3, 0);
    Recording listener;
    feed.addListener(&listener);
    feed.publish(kFullHd, frame(false, 1));  // no key frame yet: nobody could decode it
    EXPECT_EQ(feed.state(), CameraFeed::State::Waiting);
    feed.publish(kFullHd, frame(true, 2));
    feed.publish(kFullHd, frame(false, 3));
    EXPECT_EQ(feed.state(), CameraFeed::State::Live);
    EXPECT_EQ(feed.format(), kFullHd);
    ASSERT_EQ(feed.sinceKey().size(), 2u);
    EXPECT_EQ(feed.sinceKey()[1].wallMs, 3);

    // A new key frame with a new format starts the kept run again.
    const CameraFormat smaller{media::VideoCodec::H264, 640, 360, 15};
    feed.publish(smaller, frame(true, 4));
    EXPECT_EQ(feed.format(), smaller);
    ASSERT_EQ(feed.sinceKey().size(), 1u);

    // A loss is heard once, empties the kept run, and deltas are dropped
    // until the next key frame.
    feed.markLost("timed out");
    feed.markLost("connection refused");
    feed.publish(smaller, frame(false, 5));
    EXPECT_TRUE(feed.sinceKey().empty());
    EXPECT_EQ(feed.lostReason(), "connection refused");
    feed.publish(smaller, frame(true, 6));
    EXPECT_EQ(listener.heard, (std::vector<std::string>{"K2", "d3", "K4", "lost", "K6"}));
    EXPECT_EQ(feed.counters().droppedBeforeKey, 2u);
    EXPECT_EQ(feed.counters().losses, 1u);
    EXPECT_EQ(feed.counters().keyFrames, 3u);
}

TEST(CameraFeed, ASourceNeverReachedIsNotALossForListeners) {
    CameraFeed feed(0, 1);
    Recording listener;
    feed.addListener(&listener);
    feed.markLost("no route to host");
    EXPECT_EQ(feed.state(), CameraFeed::State::Lost);
    EXPECT_TRUE(listener.heard.empty());
}

TEST(CameraFeed, KeptFramesAreBoundedByCountAndBytes) {
    for (const auto& [frames, bytes] : {std::pair{CameraFeed::kMaxKeptFrames + 1, std::size_t(10)},
                                        std::pair{std::size_t(40), CameraFeed::kMaxKeptBytes / 32}}) {
        CameraFeed feed(0, 0);
        feed.publish(kFullHd, frame(true, 0, bytes));
        for (std::size_t i = 1; i < frames; ++i) feed.publish(kFullHd, frame(false, std::int64_t(i), bytes));
        // Over a limit: nothing is kept until the next key frame, since a
        // run without its key frame is of no use.
        EXPECT_TRUE(feed.sinceKey().empty()) << frames << " frames of " << bytes;
        feed.publish(kFullHd, frame(false, 100000, bytes));
        EXPECT_TRUE(feed.sinceKey().empty());
        feed.publish(kFullHd, frame(true, 100001, bytes));
        EXPECT_EQ(feed.sinceKey().size(), 1u);
    }
}

TEST(CameraFeed, ListenersMayLeaveAndJoinFromTheirCalls) {
    CameraFeed feed(0, 0);
    Recording first, second, late;
    // The first listener removes the second and adds a third while a frame
    // is being handed out: the second hears nothing more, the third starts
    // with the next frame.
    first.onFrame = [&] {
        feed.removeListener(&second);
        feed.addListener(&late);
    };
    feed.addListener(&first);
    feed.addListener(&second);
    feed.addListener(&first);  // twice is once
    feed.publish(kFullHd, frame(true, 1));
    feed.publish(kFullHd, frame(false, 2));
    EXPECT_EQ(first.heard, (std::vector<std::string>{"K1", "d2"}));
    EXPECT_TRUE(second.heard.empty());
    EXPECT_EQ(late.heard, (std::vector<std::string>{"d2"}));
    EXPECT_EQ(feed.listenerCount(), 2u);
}

TEST(CameraFeeds, TheThirdStreamShowsTheMainFeedAndASubStreamNeedsItsAddress) {
    CameraFeeds feeds;
    feeds.addChannel(2, false);
    feeds.addChannel(5, true);
    EXPECT_TRUE(feeds.hasChannel(2));
    EXPECT_FALSE(feeds.hasChannel(3));
    EXPECT_EQ(feeds.find(2, 2), feeds.find(2, 0));
    EXPECT_EQ(feeds.find(2, 1), nullptr);
    ASSERT_NE(feeds.find(5, 1), nullptr);
    EXPECT_EQ(feeds.find(5, 1)->streamType(), 1u);
    EXPECT_EQ(feeds.find(3, 0), nullptr);
    EXPECT_EQ(feeds.all().size(), 3u);
}

}  // namespace
}  // namespace velk::recorder
