// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/ArgumentCoercion.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QVariant>

#include <cstdint>
#include <limits>

namespace host {

namespace {

// An integer type's range as the magnitudes allowed on either side of zero,
// so that every range up to UI8 fits without a wider type.
struct IntegerRange {
    std::uint64_t maxNegativeMagnitude;
    std::uint64_t maxPositive;
    bool isUnsigned;
    const char* text;  // for messages
};

bool integerRange(VarType type, IntegerRange& range)
{
    switch (type) {
    case VarType::UI4:
        range = {0, 4294967295ULL, true, "an integer in 0..4294967295 (UI4)"};
        return true;
    case VarType::I4:
        range = {2147483648ULL, 2147483647ULL, false, "an integer in -2147483648..2147483647 (I4)"};
        return true;
    case VarType::UI2:
        range = {0, 65535ULL, true, "an integer in 0..65535 (UI2)"};
        return true;
    case VarType::I2:
        range = {32768ULL, 32767ULL, false, "an integer in -32768..32767 (I2)"};
        return true;
    case VarType::UI8:
        range = {0, std::numeric_limits<std::uint64_t>::max(), true, "an integer in 0..18446744073709551615 (UI8)"};
        return true;
    case VarType::Empty:
    case VarType::BSTR:
        break;
    }
    return false;
}

// A short rendering of the offending value for error messages; numbers as
// the client wrote them.
QString describe(const JsonNode& value)
{
    QString text;
    switch (value.kind) {
    case JsonNode::Kind::String:
        text = QStringLiteral("the text \"%1\"").arg(value.text);
        break;
    case JsonNode::Kind::Number:
        text = QString::fromLatin1(value.numberText);
        break;
    default: {
        const QByteArray json = QJsonDocument(QJsonArray{value.toValue()}).toJson(QJsonDocument::Compact);
        text = QString::fromUtf8(json.mid(1, json.size() - 2));  // without the brackets
        break;
    }
    }
    constexpr int kMaxChars = 60;
    if (text.size() > kMaxChars)
        text = text.left(kMaxChars) + QStringLiteral("...");
    return text;
}

// Splits an integer into sign and magnitude. Fails for a value that is not
// an integer at all; `tooLarge` is set when it is one but beyond 64 bits.
bool signAndMagnitude(const JsonNode& value, bool& negative, std::uint64_t& magnitude, bool& tooLarge)
{
    tooLarge = false;
    if (value.kind == JsonNode::Kind::Number) {
        quint64 exact = 0;
        if (!integerFromLiteral(value.numberText, negative, exact, tooLarge))
            return false;
        magnitude = exact;
        return true;
    }
    if (value.kind == JsonNode::Kind::String) {
        // A decimal text, as automation accepts numeric strings: optional white
        // space around an optional sign and digits. No fractions, no hex.
        static const QRegularExpression decimal(QStringLiteral("^\\s*([+-]?)([0-9]+)\\s*$"));
        const QRegularExpressionMatch m = decimal.match(value.text);
        if (!m.hasMatch())
            return false;
        negative = m.captured(1) == QLatin1String("-");
        bool ok = false;
        magnitude = m.captured(2).toULongLong(&ok);
        if (!ok)
            tooLarge = true;  // only digits, so the sole failure is overflow
        return true;
    }
    return false;
}

Variant makeInteger(VarType type, bool negative, std::uint64_t magnitude)
{
    const std::int64_t signedValue =
        negative ? -static_cast<std::int64_t>(magnitude - 1) - 1 : static_cast<std::int64_t>(magnitude);
    switch (type) {
    case VarType::UI4:
        return Variant::ui4(static_cast<std::uint32_t>(magnitude));
    case VarType::I4:
        return Variant::i4(static_cast<std::int32_t>(signedValue));
    case VarType::UI2:
        return Variant::ui2(static_cast<std::uint16_t>(magnitude));
    case VarType::I2:
        return Variant::i2(static_cast<std::int16_t>(signedValue));
    case VarType::UI8:
        return Variant::ui8(magnitude);
    case VarType::Empty:
    case VarType::BSTR:
        break;
    }
    return Variant::empty();
}

bool coerceInteger(const JsonNode& value, VarType type, Variant& out, QString& why)
{
    IntegerRange range{};
    integerRange(type, range);
    const QString expected = QStringLiteral("expects %1").arg(QLatin1String(range.text));

    if (value.kind == JsonNode::Kind::Bool) {
        // Automation's true is VARIANT_TRUE, -1: it fits the signed types
        // (true = -1, false = 0) but no unsigned one. Rather than accept false
        // and refuse true, booleans are refused for unsigned arguments.
        if (range.isUnsigned) {
            why = QStringLiteral("%1, got a boolean (automation's true is -1)").arg(expected);
            return false;
        }
        out = makeInteger(type, value.boolean, value.boolean ? 1 : 0);
        return true;
    }

    bool negative = false;
    std::uint64_t magnitude = 0;
    bool tooLarge = false;
    if (!signAndMagnitude(value, negative, magnitude, tooLarge)) {
        why = QStringLiteral("%1, got %2").arg(expected, describe(value));
        return false;
    }
    const bool inRange = !tooLarge && (negative ? (magnitude == 0 || magnitude <= range.maxNegativeMagnitude)
                                                : magnitude <= range.maxPositive);
    if (!inRange) {
        why = QStringLiteral("%1, got %2, which is out of range").arg(expected, describe(value));
        return false;
    }
    out = makeInteger(type, negative && magnitude != 0, magnitude);
    return true;
}

bool coerceText(const JsonNode& value, Variant& out, QString& why)
{
    switch (value.kind) {
    case JsonNode::Kind::String:
        out = Variant::bstr(value.text);
        return true;
    case JsonNode::Kind::Null:
        out = Variant::bstr(QString());
        return true;
    case JsonNode::Kind::Bool:
        // Automation converts VARIANT_TRUE to its number, -1.
        out = Variant::bstr(value.boolean ? QStringLiteral("-1") : QStringLiteral("0"));
        return true;
    case JsonNode::Kind::Number: {
        // An integer that fits 64 bits keeps all its digits; any other number
        // is a double, shown with automation's 15 significant digits.
        bool negative = false;
        quint64 magnitude = 0;
        bool tooLarge = false;
        if (integerFromLiteral(value.numberText, negative, magnitude, tooLarge) && !tooLarge
            && magnitude <= (negative ? quint64(1) << 63 : std::numeric_limits<quint64>::max() >> 1)) {
            out = Variant::bstr((negative ? QStringLiteral("-") : QString()) + QString::number(magnitude));
        } else {
            out = Variant::bstr(QString::number(value.toValue().toDouble(), 'g', 15));
        }
        return true;
    }
    case JsonNode::Kind::Array:
    case JsonNode::Kind::Object:
        break;
    }
    why = QStringLiteral("expects a text (BSTR), got %1").arg(describe(value));
    return false;
}

}  // namespace

bool coerceArgument(const QJsonValue& value, VarType type, Variant& out, QString& why)
{
    return coerceArgument(nodeFromValue(value), type, out, why);
}

bool coerceArgument(const JsonNode& value, VarType type, Variant& out, QString& why)
{
    if (type == VarType::BSTR)
        return coerceText(value, out, why);
    if (type == VarType::Empty) {
        why = QStringLiteral("has no type");
        return false;
    }
    return coerceInteger(value, type, out, why);
}

QJsonValue variantToJson(const Variant& value)
{
    switch (value.type) {
    case VarType::UI4:
        return QJsonValue(static_cast<qint64>(value.asUI4()));
    case VarType::I4:
        return QJsonValue(static_cast<qint64>(value.asI4()));
    case VarType::UI2:
        return QJsonValue(static_cast<qint64>(value.asUI2()));
    case VarType::I2:
        return QJsonValue(static_cast<qint64>(value.asI2()));
    case VarType::UI8:
        if (value.uint64 <= static_cast<std::uint64_t>(std::numeric_limits<qint64>::max()))
            return QJsonValue(static_cast<qint64>(value.uint64));
        return QJsonValue(static_cast<double>(value.uint64));  // beyond JSON's exact integers
    case VarType::BSTR:
        return QJsonValue(value.text);
    case VarType::Empty:
        break;
    }
    return QJsonValue(QJsonValue::Null);
}

QJsonValue variantToJson(const Variant& value, VarType declared)
{
    if (declared == value.type || declared == VarType::Empty || declared == VarType::BSTR
        || value.type == VarType::Empty || value.type == VarType::BSTR)
        return declared == VarType::Empty ? QJsonValue(QJsonValue::Null) : variantToJson(value);
    Variant read = value;
    read.type = declared;
    if (value.type == VarType::UI8)
        read.integer = static_cast<std::int64_t>(value.uint64);
    else if (declared == VarType::UI8)
        read.uint64 = static_cast<std::uint64_t>(value.integer);
    return variantToJson(read);
}

}  // namespace host
