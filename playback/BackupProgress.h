// SPDX-License-Identifier: GPL-3.0-or-later
// What a backup download hands the control with WM_BACKUP_NOTIFY
// (0x413..0x418): wParam points to the backup key as a zero-terminated UTF-8
// text, lParam to a BackupProgress. Both must stay valid until the control
// has handled the message (a sent message, or copies the sender keeps alive
// until its posted messages are handled). A null lParam fires nothing.
#pragma once

#include <cstdint>

struct BackupProgress {
    std::uint64_t totalBytes = 0;    // size of the clip in all
    std::uint64_t currentBytes = 0;  // bytes received so far
};
