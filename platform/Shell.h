// SPDX-License-Identifier: GPL-3.0-or-later
// Desktop services: showing a saved file in the file manager, and the
// process's sound volume.
#pragma once

#include <QString>

#include <cstdint>

namespace platform {

// Shows a file in the desktop's file manager (its folder opened, the file
// selected where the file manager can). False when there is no desktop
// session (neither DISPLAY nor WAYLAND_DISPLAY set) or no file manager could
// be started. Never blocks on the file manager. UI thread.
bool showInFileManager(const QString& filePath);

// The process-wide sound volume, 0..100 (default 100), applied by the
// decode-render library's audio output. Any thread.
std::uint32_t processVolume();
// Values above 100 are taken as 100. Any thread.
void setProcessVolume(std::uint32_t volume);

}  // namespace platform
