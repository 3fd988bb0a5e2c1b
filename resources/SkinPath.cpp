// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/SkinPath.h"

#include <QGuiApplication>

QString skinResourcePath(const QString& name, bool twiceTheSize)
{
    return QStringLiteral(":/skins/") + name + (twiceTheSize ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
}

bool skinsAtTwiceTheSize()
{
    return qGuiApp && qGuiApp->devicePixelRatio() > 1.0;
}
