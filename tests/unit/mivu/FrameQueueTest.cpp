// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/FrameQueue.h"

#include <gtest/gtest.h>

namespace mivu {
namespace {

using media::MediaKind;
using Push = FrameQueue::Push;

QueuedFrame frameOf(MediaKind kind, std::size_t bytes = 100)
{
    QueuedFrame frame;
    frame.kind = kind;
    frame.packet.reset(av_packet_alloc());
    av_new_packet(frame.packet.get(), static_cast<int>(bytes));
    return frame;
}

TEST(FrameQueue, DeltasBeforeTheFirstKeyFrameAreDroppedInBothModes)
{
    for (auto overflow : {FrameQueue::Overflow::DropUntilKeyFrame, FrameQueue::Overflow::Refuse}) {
        FrameQueue queue(10, 1 << 20, overflow);
        EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Dropped);
        EXPECT_EQ(queue.push(frameOf(MediaKind::AudioMuLaw)), Push::Queued);  // audio needs no key frame
        EXPECT_EQ(queue.push(frameOf(MediaKind::VideoKey)), Push::Queued);
        EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Queued);
        EXPECT_EQ(queue.size(), 3u);
        EXPECT_EQ(queue.droppedCount(), 1u);
        EXPECT_EQ(queue.bytes(), 300u);
    }
}

TEST(FrameQueue, LiveOverflowDropsDeltasUntilTheNextKeyFrame)
{
    FrameQueue queue(3, 1 << 20, FrameQueue::Overflow::DropUntilKeyFrame);
    queue.push(frameOf(MediaKind::VideoKey));
    queue.push(frameOf(MediaKind::VideoDelta));
    queue.push(frameOf(MediaKind::VideoDelta));
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Dropped);
    EXPECT_EQ(queue.push(frameOf(MediaKind::AudioALaw)), Push::Dropped);
    // Room again, but the next deltas would refer to the dropped one.
    ASSERT_TRUE(queue.pop());
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Dropped);
    EXPECT_EQ(queue.push(frameOf(MediaKind::AudioALaw)), Push::Queued);
    EXPECT_EQ(queue.droppedCount(), 3u);
    // A key frame at a full queue replaces everything queued.
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoKey)), Push::Queued);
    EXPECT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue.droppedCount(), 6u);
    EXPECT_EQ(queue.pop()->kind, MediaKind::VideoKey);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Queued);
}

TEST(FrameQueue, PlaybackOverflowRefusesWithoutDropping)
{
    FrameQueue queue(2, 1 << 20, FrameQueue::Overflow::Refuse);
    queue.push(frameOf(MediaKind::VideoKey));
    queue.push(frameOf(MediaKind::VideoDelta));
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Refused);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoKey)), Push::Refused);
    EXPECT_EQ(queue.droppedCount(), 0u);
    ASSERT_TRUE(queue.pop());
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Queued);  // the refused frame offered again
    EXPECT_EQ(queue.queuedCount(), 3u);
}

TEST(FrameQueue, ByteLimitCountsButOneFrameAlwaysFits)
{
    FrameQueue queue(100, 1000, FrameQueue::Overflow::Refuse);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoKey, 5000)), Push::Queued);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta, 10)), Push::Refused);
    ASSERT_TRUE(queue.pop());
    EXPECT_EQ(queue.bytes(), 0u);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta, 600)), Push::Queued);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta, 600)), Push::Refused);
}

TEST(FrameQueue, ClearForgetsFramesAndWaitsForAKeyFrame)
{
    FrameQueue queue(10, 1 << 20, FrameQueue::Overflow::Refuse);
    queue.push(frameOf(MediaKind::VideoKey));
    queue.push(frameOf(MediaKind::VideoDelta));
    queue.clear();
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(queue.bytes(), 0u);
    EXPECT_EQ(queue.droppedCount(), 0u);
    EXPECT_EQ(queue.push(frameOf(MediaKind::VideoDelta)), Push::Dropped);
    EXPECT_FALSE(queue.pop());
}

TEST(FrameQueue, QueuedFrameCarriesPayloadTimeAndKeyFlag)
{
    const std::vector<std::uint8_t> payload{0, 0, 0, 1, 0x65, 0x88};
    media::FrameFields fields;
    fields.kind = MediaKind::VideoKey;
    fields.time = media::FrameTime{1700000000, 250};
    fields.video = media::VideoInfo{704, 576, 30};
    const auto bytes = media::buildFrame(fields, payload);
    const auto frame = makeQueuedFrame(*media::parseFrame(bytes));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->timeMs, 1700000000250ull);
    EXPECT_EQ(frame->frameRate, 30);
    EXPECT_TRUE(frame->packet->flags & AV_PKT_FLAG_KEY);
    ASSERT_EQ(frame->packet->size, 6);
    EXPECT_EQ(std::vector<std::uint8_t>(frame->packet->data, frame->packet->data + 6), payload);
}

}  // namespace
}  // namespace mivu
