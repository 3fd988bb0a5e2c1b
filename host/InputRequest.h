// SPDX-License-Identifier: GPL-3.0-or-later
// One input request of the `$input` host method, read from its JSON object:
//   {"type": "press"|"release"|"click"|"dblclick"|"move"|"wheel"|"key",
//    "x": .., "y": .., "button": "left"|"right"|"middle", "delta": 120,
//    "key": "Escape"|"Space"|"Left"|"a"|..., "modifiers": ["shift", ...]}
// Positions are in control coordinates.
#pragma once

#include <QJsonObject>
#include <QPointF>
#include <QString>

#include <Qt>

namespace host {

struct InputRequest {
    enum class Type { Press, Release, Click, DoubleClick, Move, Wheel, Key };

    Type type = Type::Click;
    QPointF pos;                            // mouse and wheel
    Qt::MouseButton button = Qt::LeftButton;  // press, release, click, dblclick
    int wheelDelta = 120;                   // wheel: eighths of a degree, 120 a notch
    int key = 0;                            // key: a Qt::Key
    QString text;                           // key: the text it types, if any
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;

    bool isMouse() const { return type != Type::Key; }
};

// Reads a request; false with the reason in `why` for anything malformed.
bool parseInputRequest(const QJsonObject& object, InputRequest& request, QString& why);

// A key by name: Escape, Space, Left, Right, Up, Down, Enter, Return, Tab,
// Backspace, Delete, Insert, Home, End, PageUp, PageDown, F1..F12 (any case),
// or a single character. False for an unknown name.
bool keyFromName(const QString& name, int& key, QString& text);

}  // namespace host
