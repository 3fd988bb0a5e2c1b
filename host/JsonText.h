// SPDX-License-Identifier: GPL-3.0-or-later
// A JSON reader for requests that keeps every number exactly as the client
// wrote it.
//
// Qt's and JsonCpp's readers turn numbers into doubles (18446744073709551615
// becomes 18446744073709551616) and refuse valid texts whose value a double
// cannot hold (1e400, 1e-400). Arguments are coerced from the text instead,
// and error messages quote it, so that no value is rounded on the way.
#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <utility>
#include <vector>

namespace host {

struct JsonMember;

struct JsonNode {
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    bool boolean = false;
    QByteArray numberText;  // a number's literal, exactly as written
    QString text;           // a string's decoded text
    std::vector<JsonNode> items;                       // an array's elements
    std::vector<JsonMember> members;  // an object's members; a repeated name: the last counts

    // The member of that name (the last one when repeated); nullptr when absent.
    const JsonNode* member(QLatin1String name) const;
    // The value in Qt's JSON types (numbers as qint64 when they are integers
    // that fit, else as the nearest double, ±inf beyond its range).
    QJsonValue toValue() const;
};

// One member of an object: its name and its value. A struct of its own (not
// a std::pair) so that the node's vector may hold it before it is complete.
struct JsonMember {
    QString first;
    JsonNode second;
};

// The node of a value that came in Qt's types (tests, host-made values):
// numbers get the shortest text that reads back as the same value.
JsonNode nodeFromValue(const QJsonValue& value);

// Reads one JSON text (RFC 8259: any value at the top, white space around
// it, nothing else). On failure returns false with a message and the byte
// offset of the fault. Nesting is limited to kMaxJsonDepth levels.
constexpr int kMaxJsonDepth = 64;
bool parseJsonText(const QByteArray& text, JsonNode& out, QString& error, qsizetype& errorOffset);

// An integer written as a JSON number literal, read exactly: "1e3" and
// "1000.0" are 1000. Returns false when the literal is not an integer
// ("1.5", "1e-400"); `tooLarge` is set for an integer beyond 64 bits
// ("1e400", "18446744073709551616").
bool integerFromLiteral(const QByteArray& literal, bool& negative, quint64& magnitude, bool& tooLarge);

}  // namespace host
