// SPDX-License-Identifier: GPL-3.0-or-later
// Where a skin image lives among the Qt resources.
#pragma once

#include <QString>

// ":/skins/NAME.png", or ":/skins/NAME@2x.png" for the picture drawn at
// twice the size.
QString skinResourcePath(const QString& name, bool twiceTheSize);

// Whether the screens want the 2x pictures (a device pixel ratio above 1).
bool skinsAtTwiceTheSize();
