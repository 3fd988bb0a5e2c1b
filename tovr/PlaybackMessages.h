// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON messages of a playback on a media connection. After the hello
// (role "media") the client opens the playback with the login's session
// token; the recorder answers with the channels' picture formats and the
// time zone offset, then sends videoProperty per channel and the media
// frames of all channels merged in time order. On the open playback:
//   requests      openPlayback {session, channels, fileType, start}
//                               -> {channels, startMs, utcOffsetS}
//                 seek {start}                   -> {} then notification seeked
//                 keyFramesOnly {on}             -> {}
//   notifications videoProperty StreamInfo       per channel, before its first frame
//                 seeked {id}                    what follows is from the new time
//                 playbackEnd {}                 nothing more to play on that day
//                 buffering {} / buffered {}     the recorder cannot send for now / can again
//                 streamError {code}             the playback ends
#pragma once

#include "proto/StreamMessages.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk::tovr {

using proto::kEventBuffered;
using proto::kEventBuffering;
using proto::kEventPlaybackEnd;
using proto::kEventSeeked;
using proto::kMethodKeyFramesOnly;
using proto::kMethodOpenPlayback;
using proto::kMethodSeek;

struct PlaybackOpenRequest {
    std::string session;                // the login's session token
    std::vector<std::uint32_t> channels;  // 0-based, ascending
    std::uint32_t fileType = 2;         // 0 normal, 1 alarm, 2 all
    std::string start;                  // YYYYMMDDhhmmss, the recorder's local time
};

struct PlaybackInfo {
    std::uint64_t startMs = 0;
    std::int32_t utcOffsetS = 0;  // the recorder's local time minus UTC
};

Json::Value toJson(const PlaybackOpenRequest& request);
Json::Value seekParams(const std::string& start);
Json::Value keyFramesOnlyParams(bool on);

// nullopt when a member is missing or of the wrong kind.
std::optional<PlaybackInfo> readPlaybackInfo(const Json::Value& result);
std::optional<std::uint32_t> readSeekedId(const Json::Value& params);

}  // namespace velk::tovr
