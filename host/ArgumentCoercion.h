// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion between JSON values on the wire and automation values.
//
// Arguments are coerced the way automation coerces them, with one rule held
// everywhere: a value that does not fit the argument's type is refused, never
// wrapped or truncated into range.
#pragma once

#include "control/Automation.h"
#include "host/JsonText.h"

#include <QJsonValue>
#include <QString>

namespace host {

// Converts one JSON argument to an automation value of the given type. On
// failure returns false and says why in `why` (without naming the argument;
// the caller adds which argument it was). Numbers are read from their text
// as the client wrote it, exactly, and quoted so in `why`.
bool coerceArgument(const JsonNode& value, VarType type, Variant& out, QString& why);
// The same for a value in Qt's types.
bool coerceArgument(const QJsonValue& value, VarType type, Variant& out, QString& why);

// The JSON form of a result or event argument: UI4/UI2/UI8 as unsigned
// integers, I4/I2 as signed integers, BSTR as a string, none as null.
QJsonValue variantToJson(const Variant& value);

// The JSON form of a value read as the type a table declares for it, so that
// a method declared UI4 that yields -1 answers 4294967295.
QJsonValue variantToJson(const Variant& value, VarType declared);

}  // namespace host
