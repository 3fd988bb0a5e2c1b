// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON messages of a playback on a media connection. After the hello
// (role "media") the client opens the playback of some channels from a
// local device time with the session token of its login; the recorder
// answers with the channels' picture formats and then sends their recorded
// frames merged in time order (PlaybackSender.h). On the open playback:
//   requests      openPlayback {session, channels, fileType, start}
//                     -> {channels: [StreamInfo], startMs, utcOffsetS}
//                 seek {start}                  -> {}, then `seeked`
//                 keyFramesOnly {on}            -> {}
//   notifications videoProperty StreamInfo   per channel, before its frames
//                 seeked {id}                after a seek's answer: all that
//                                            follows is from the new time
//                 playbackEnd {}             the day's frames are all sent
//                 buffering {} / buffered {} the recorder cannot send for a
//                                            while / can again
// Times are 14-digit local device times "YYYYMMDDhhmmss" (DeviceTime.h).
#pragma once

#include "DeviceTime.h"
#include "RecordingCatalog.h"

#include "proto/StreamMessages.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::recorder {

using proto::kEventBuffered;
using proto::kEventBuffering;
using proto::kEventPlaybackEnd;
using proto::kEventSeeked;
using proto::kMethodKeyFramesOnly;
using proto::kMethodOpenPlayback;
using proto::kMethodSeek;

// The most channels one playback carries.
inline constexpr std::size_t kMaxPlaybackChannels = 32;

struct PlaybackOpenRequest {
    std::string session;
    std::vector<std::uint32_t> channels;  // distinct, ascending
    RecordTypeFilter filter = RecordTypeFilter::All;
    LocalDateTime start;
};

// nullopt when malformed: session not a text, channels not 1..32 distinct
// non-negative numbers, fileType not 0..2 (missing: 2), start not a real
// 14-digit time. Channels given out of order are sorted; their range is the
// recorder's to check.
std::optional<PlaybackOpenRequest> readPlaybackOpen(const Json::Value& params);
// seek's start; nullopt when malformed.
std::optional<LocalDateTime> readSeekStart(const Json::Value& params);
// keyFramesOnly's on; nullopt when not a boolean.
std::optional<bool> readKeyFramesOnly(const Json::Value& params);

}  // namespace velk::recorder
