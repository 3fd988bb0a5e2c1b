// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's search API over what is recorded (stored recordings and
// the generated history, CombinedCatalog.h), in local device time:
//   GET /api/recordings/days?month=YYYY-MM[&channel=C][&type=all|normal|alarm]
//       {"ok":true,"month":"2026-12","days":{"0":[1,2,7],...}}: per channel
//       that has any (or only C), the days of the month with recordings
//   GET /api/recordings?date=YYYY-MM-DD[&channel=C][&type=...]
//       {"ok":true,"date":..,"channel":C,"spans":[{start,end,startMs,endMs,
//       type,file,size}]}; without channel every channel's as
//       "channels":{"0":[...],...}
// Channels are 0-based. Errors: 400 a malformed or unreal month or date, a
// channel that is not a decimal below the channel count, an unknown type;
// 405 another method; each with {"ok":false,"error":text}. Requests for
// another host or from another site never get here (HostCheck.h). Runs on
// the recorder's I/O thread.
#pragma once

#include "DeviceTime.h"
#include "HttpRoutes.h"
#include "RecordingCatalog.h"

#include <optional>
#include <string>
#include <string_view>

namespace velk::recorder {

class Recorder;

// path is "/api/recordings" or "/api/recordings/days".
HttpResponse handleRecordings(Recorder& recorder, const HttpRequest& request, std::string_view path,
                              std::string_view query);

// The arguments of a search, checked; error says what is wrong otherwise.
struct SearchArguments {
    std::optional<std::uint32_t> channel;  // none: every channel
    RecordTypeFilter filter = RecordTypeFilter::All;
    LocalDate date;  // the day, or the first of the month
};
std::optional<SearchArguments> readSearchArguments(std::string_view query, bool month, std::uint32_t channels,
                                                   std::string& error);

// The answers, for a catalog of this many channels.
Json::Value daysAnswer(const RecordingCatalog& catalog, std::uint32_t channels, const SearchArguments& arguments);
Json::Value spansAnswer(const RecordingCatalog& catalog, std::uint32_t channels, const SearchArguments& arguments);

}  // namespace velk::recorder
