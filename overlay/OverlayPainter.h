// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the overlay on a decoded picture: the motion cells as green (set)
// and grey frames, the privacy masks as dark fills with a red frame, the
// text items as red texts and the channel name's red box. It reads only an
// OverlaySnapshot, so it may run on the decoder's thread while the UI
// thread edits the model.
#pragma once

#include "overlay/OverlayModel.h"

#include <QFont>
#include <QSize>

class QPainter;

namespace overlay {

// Paints the snapshot on a picture of that size. Any thread.
void paintOverlay(QPainter& painter, const OverlaySnapshot& snapshot, int pictureWidth, int pictureHeight);

// The font of text items 1 and 2 on a picture of that size: bold "Arial",
// its height chosen by the picture height. Any thread.
QFont textItemFont(int pictureWidth, int pictureHeight);
// The size of a text item's text on a picture of that size. Any thread.
QSize measureTextItem(const QString& text, int pictureWidth, int pictureHeight);

}  // namespace overlay
