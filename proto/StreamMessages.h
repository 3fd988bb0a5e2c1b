// SPDX-License-Identifier: GPL-3.0-or-later
// The JSON messages of a media connection: one connection per open live
// stream. After the hello (role "media") the client opens the stream with
// the session token of its login; the recorder answers with the stream's
// picture format and then sends media frames. On the open stream:
//   requests      openStream {session, channel, streamType} -> StreamInfo
//                 switchStream {streamType}                 -> StreamInfo
//                 keyFrame {}                               -> {}
//   notifications videoProperty StreamInfo   before the first key frame of
//                                            every (re)started stream type,
//                                            and when a lost source is back
//                 sourceLost {channel, streamType}  the channel's source
//                                            (a camera) is gone; the stream
//                                            stays open
//                 streamType {streamType}    the recorder switched the type
//                 streamError {code}         the stream ends (detail code)
#pragma once

#include "proto/MediaFrame.h"

#include <json/value.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velk::proto {

inline constexpr const char* kMethodOpenStream = "openStream";
inline constexpr const char* kMethodSwitchStream = "switchStream";
inline constexpr const char* kMethodKeyFrame = "keyFrame";
inline constexpr const char* kEventVideoProperty = "videoProperty";
inline constexpr const char* kEventStreamType = "streamType";
inline constexpr const char* kEventStreamError = "streamError";
inline constexpr const char* kEventSourceLost = "sourceLost";

// A playback on a media connection (docs/recorder-protocol.md, "Playback on
// a media connection"): openPlayback {session, channels, fileType, start},
// seek {start}, keyFramesOnly {on}; the recorder's seeked {id},
// playbackEnd {}, buffering {} and buffered {}.
inline constexpr const char* kMethodOpenPlayback = "openPlayback";
inline constexpr const char* kMethodSeek = "seek";
inline constexpr const char* kMethodKeyFramesOnly = "keyFramesOnly";
inline constexpr const char* kEventSeeked = "seeked";
inline constexpr const char* kEventPlaybackEnd = "playbackEnd";
inline constexpr const char* kEventBuffering = "buffering";
inline constexpr const char* kEventBuffered = "buffered";

// A clip download on a media connection (docs/recorder-protocol.md,
// "Clip downloads"): openDownload {session, file, start, end}; the
// recorder's downloadEnd {} and downloadError {code}.
inline constexpr const char* kMethodOpenDownload = "openDownload";
inline constexpr const char* kEventDownloadEnd = "downloadEnd";
inline constexpr const char* kEventDownloadError = "downloadError";

// Stream types: 0 main, 1 sub, 2 third.
inline constexpr std::uint32_t kStreamTypeCount = 3;
inline constexpr std::uint32_t kSubStreamType = 1;

struct StreamOpenRequest {
    std::string session;  // the login's session token
    std::uint32_t channel = 0;
    std::uint32_t streamType = 0;
};

struct StreamInfo {
    std::uint32_t channel = 0;
    std::uint32_t streamType = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t frameRate = 0;
    media::VideoCodec codec = media::VideoCodec::H264;  // "codec": "h264" or "h265"; absent reads as H.264
};

Json::Value toJson(const StreamOpenRequest& request);
Json::Value toJson(const StreamInfo& info);
// Parameters of switchStream and the streamType notification.
Json::Value streamTypeParams(std::uint32_t streamType);
// Parameters of the streamError notification.
Json::Value streamErrorParams(std::int32_t code);
// Parameters of the sourceLost notification.
Json::Value sourceLostParams(std::uint32_t channel, std::uint32_t streamType);
// The codec's name in stream infos ("h264", "h265").
const char* codecName(media::VideoCodec codec);

// nullopt when a member is missing or of the wrong kind (a codec other
// than "h264" or "h265" too). Ranges (channel count, stream types) are the
// recorder's to check.
std::optional<StreamOpenRequest> readStreamOpenRequest(const Json::Value& params);
std::optional<StreamInfo> readStreamInfo(const Json::Value& body);
std::optional<std::uint32_t> readStreamType(const Json::Value& params);
std::optional<std::int32_t> readStreamError(const Json::Value& params);

}  // namespace velk::proto
