// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's schedule API, one weekly recording schedule per channel:
//   GET /api/schedule?channel=C   the channel's schedule text as the body
//                                 (application/json); the empty week
//                                 [null,null,null,null,null,null,null] when
//                                 none was stored
//   PUT /api/schedule?channel=C   stores the body, a schedule text
//                                 (ScheduleRules.h), in its canonical form:
//                                 {"ok":true,"channel":C}
// Channels are 0-based. Errors: 400 bad channel or a text that breaks the
// rules, 405 another method, 413 a text longer than 4095 bytes, 500 a
// stored file that cannot be read or written; each with
// {"ok":false,"error":text}. Requests for another host or from another site
// never get here (HostCheck.h). Runs on the recorder's I/O thread.
#pragma once

#include "HttpRoutes.h"

#include <string_view>

namespace velk::recorder {

class Recorder;

HttpResponse handleSchedule(Recorder& recorder, const HttpRequest& request, std::string_view query);

}  // namespace velk::recorder
