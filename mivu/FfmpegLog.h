// SPDX-License-Identifier: GPL-3.0-or-later
// Routes libav* error messages to the debug output instead of stderr.
#pragma once

namespace mivu {

// Installs the route once per process. Any thread.
void routeFfmpegLog();

}  // namespace mivu
