// SPDX-License-Identifier: GPL-3.0-or-later
// The recorder's overlay API, one overlay per channel (OverlaySettings.h):
//   GET /api/overlay?channel=C   the channel's overlay document
//   PUT /api/overlay?channel=C   a JSON object with any of motion, masks and
//                                osd; those given replace the stored ones
//                                (osd item by item); answers the whole
//                                stored document as GET does
// Channels are 0-based. Errors, each {"ok":false,"error":sentence} with
// nothing changed: 400 a channel that is not a decimal number, a body that
// is not a JSON object or breaks a rule; 404 a channel the recorder does
// not have; 405 another method; 500 a file that cannot be written. A saved
// overlay is shown by the channel's pictures within seconds (its loops are
// encoded again, MediaLibrary.h) and its motion cells raise motion alarms
// (RecordingScheduler.h). Requests for another host or from another site
// never get here (HostCheck.h). Runs on the recorder's I/O thread.
#pragma once

#include "HttpRoutes.h"

#include <string_view>

namespace velk::recorder {

class Recorder;

HttpResponse handleOverlay(Recorder& recorder, const HttpRequest& request, std::string_view query);

}  // namespace velk::recorder
