// SPDX-License-Identifier: GPL-3.0-or-later
// Backup notes on their way from the download and progress threads to the
// control window they belong to. A thread leaves a note here (a copy of the
// key and the progress, never a pointer into the backup record) and posts
// WM_BACKUP_MAIL to the window; the window, on its own thread, takes what
// waits for it, oldest first, and turns each note into WM_BACKUP_NOTIFY's
// handling. Nothing is posted that the window would have to free, so
// nothing leaks when the window goes first: its notes are dropped with it.
#pragma once

#include "device/BackupLink.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>
#include <vector>

namespace playback {

struct BackupNote {
    std::uint32_t sessionId = 0;  // the device id of the backup's session
    std::uint64_t serial = 0;     // the backup record's serial number
    std::uint32_t flag = 0;       // the UploadBackupProcess flag (0..5)
    std::string key;              // UTF-8
    BackupProgress progress;
};

// Any thread. Leaves the note and wakes the window; a window that is not
// live gets nothing (the note is dropped). A progress note (flag 0 or 5)
// replaces a progress note of the same backup that still waits, so a window
// that is slow to take them holds at most one per backup besides its final
// notes.
void leaveBackupNote(platform::WindowHandle window, BackupNote note);
// The window's thread: the notes waiting for the window, oldest first.
std::vector<BackupNote> takeBackupNotes(platform::WindowHandle window);
// The window is gone: what waits for it is dropped.
void dropBackupNotes(platform::WindowHandle window);

}  // namespace playback
