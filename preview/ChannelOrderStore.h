// SPDX-License-Identifier: GPL-3.0-or-later
// The window order of a grid in the recorder's settings file: section
// "PreviewChannelOrder" (or "PlaybackChannelOrder"), keys "0".."15" for the
// positions, each value the index of the window at that position.
#pragma once

#include "preview/GridLayout.h"

#include <QString>

namespace preview {

const char* channelOrderSection(bool playback);

// Reads the sixteen positions over the given order: a missing key, or a
// value that is not a number 0..15, leaves that position as it was. When
// the result would show a window twice (and so another not at all) the
// order is left entirely as it was. UI thread.
void loadChannelOrder(const QString& settingsPath, bool playback, WindowOrder& order);

// Writes all sixteen positions. False when the file could not be written.
// UI thread.
bool saveChannelOrder(const QString& settingsPath, bool playback, const WindowOrder& order);

}  // namespace preview
