// SPDX-License-Identifier: GPL-3.0-or-later
// Where the recorder keeps a recorded segment, relative to <data>/recordings:
//   ch<nn>/<YYYYMMDD>/ch<nn>_<YYYYMMDD>-<hhmmss>_<T>[_<k>].264
// nn the channel 1-based (two digits at least), date and time local, of the
// segment's first frame, T "N" (normal) or "A" (alarm), _k (2, 3, ...) only
// when a segment of that name exists already. Its index is the same path
// with ".idx" for ".264".
#pragma once

#include "RecordingCatalog.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velk::recorder {

// "YYYYMMDD" of the local day of a wall-clock time (ms since 1970 UTC).
std::string localDayText(std::int64_t wallMs);

// The relative path of a new segment; serial 1 gives no _k suffix.
std::string segmentRelativePath(std::uint32_t channel, std::int64_t startMs, RecordType type, int serial = 1);

struct SegmentName {
    std::uint32_t channel = 0;  // 0-based
    RecordType type = RecordType::Normal;
    std::string day;            // YYYYMMDD
};

// Reads a relative path of the form above (with '/' separators); nothing for
// any other path, one with "..", or an absolute one.
std::optional<SegmentName> parseSegmentRelativePath(std::string_view path);

// The index file's relative path of a segment's relative path.
std::string indexPathOf(const std::string& segmentPath);

}  // namespace velk::recorder
