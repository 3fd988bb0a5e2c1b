// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's fault injection and state, under /sim/:
//   GET  /sim/status                      counts, open streams, encoded loops
//   POST /sim/drop                        drops every device-protocol connection
//   POST /sim/freeze                      the recorder stops answering (looks hung)
//   POST /sim/resume                      ends a freeze
//   POST /sim/notify?kind=N               device notification to logged-in clients
//   POST /sim/deny?user=U&channel=C       U may not view C; U's open streams of C end
//   POST /sim/allow?user=U&channel=C      undoes a deny
//   POST /sim/substream?channel=C&encoded=0|1
//                                         switches C's sub stream off (its open
//                                         sub streams end) or on
//   POST /sim/streamtype?channel=C&type=T the recorder switches C's open streams to T
//   POST /sim/garbage?channel=C[&kind=truncated|magic|items]
//                                         one malformed frame on each open stream of C
//   POST /sim/alarm?channel=C&kind=motion|input&seconds=S
//                                         an alarm on C for S seconds (1..3600)
//   POST /sim/disk?state=ok|full|error    recording writes fail (ENOSPC, EIO) or work again
//   POST /sim/playback?action=drop        closes every connection carrying a playback
//   POST /sim/playback?action=stall&seconds=S
//                                         playbacks send nothing for S seconds
//                                         (buffering now, buffered after)
// Requests for another host or from another site never get here (HostCheck.h).
#pragma once

#include "HttpRoutes.h"

#include <string_view>

namespace velk::recorder {

class Recorder;

HttpResponse handleSim(Recorder& recorder, const HttpRequest& request, std::string_view action,
                       std::string_view query);

}  // namespace velk::recorder
