// SPDX-License-Identifier: GPL-3.0-or-later
// The playback's times as texts: "YYYYMMDDhhmmss" in the recorder's local
// time (STARTTIME of REMOTEPLAY and REMOTEPLAYSEEK, TIME of FRAMEINFO).
// Plain arithmetic: the recorder's time zone is known only as the offset it
// gave for the playback (local time minus UTC).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velk::tovr {

// True for exactly 14 digits that name a real date and time (month 1..12,
// a day the month has, hour 0..23, minute and second 0..59; years 1970..9999).
bool isPlaybackTimeText(std::string_view text);

// The frame time (ms since 1970 UTC) as 14 digits of local time, the
// recorder being utcOffsetS seconds ahead of UTC.
std::string playbackTimeText(std::uint64_t frameTimeMs, std::int32_t utcOffsetS);

}  // namespace velk::tovr
