// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale.h>

namespace host {

namespace {

class Reader {
public:
    explicit Reader(const QByteArray& text) : m_text(text) {}

    bool read(JsonNode& out)
    {
        skipSpace();
        if (!value(out, 0))
            return false;
        skipSpace();
        if (m_pos != m_text.size())
            return fail(QStringLiteral("unexpected text after the value"));
        return true;
    }

    QString error;
    qsizetype errorOffset = 0;

private:
    bool fail(const QString& message)
    {
        error = message;
        errorOffset = m_pos;
        return false;
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char peek() const { return atEnd() ? '\0' : m_text.at(m_pos); }

    void skipSpace()
    {
        while (!atEnd()) {
            const char c = m_text.at(m_pos);
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return;
            ++m_pos;
        }
    }

    bool literal(const char* word)
    {
        const qsizetype length = static_cast<qsizetype>(std::strlen(word));
        if (m_text.mid(m_pos, length) != word)
            return fail(QStringLiteral("invalid value"));
        m_pos += length;
        return true;
    }

    bool value(JsonNode& out, int depth)
    {
        if (atEnd())
            return fail(QStringLiteral("unexpected end of text"));
        switch (peek()) {
        case '{':
            return object(out, depth + 1);
        case '[':
            return array(out, depth + 1);
        case '"':
            out.kind = JsonNode::Kind::String;
            return string(out.text);
        case 't':
            out.kind = JsonNode::Kind::Bool;
            out.boolean = true;
            return literal("true");
        case 'f':
            out.kind = JsonNode::Kind::Bool;
            out.boolean = false;
            return literal("false");
        case 'n':
            out.kind = JsonNode::Kind::Null;
            return literal("null");
        default:
            return number(out);
        }
    }

    bool digits()
    {
        const qsizetype start = m_pos;
        while (!atEnd() && peek() >= '0' && peek() <= '9')
            ++m_pos;
        return m_pos > start;
    }

    bool number(JsonNode& out)
    {
        const qsizetype start = m_pos;
        if (peek() == '-')
            ++m_pos;
        if (peek() == '0') {
            ++m_pos;
        } else if (!digits()) {
            return fail(QStringLiteral("invalid value"));
        }
        if (peek() == '.') {
            ++m_pos;
            if (!digits())
                return fail(QStringLiteral("invalid number: digits expected after the point"));
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_pos;
            if (peek() == '+' || peek() == '-')
                ++m_pos;
            if (!digits())
                return fail(QStringLiteral("invalid number: digits expected in the exponent"));
        }
        out.kind = JsonNode::Kind::Number;
        out.numberText = m_text.mid(start, m_pos - start);
        return true;
    }

    static int hexDigit(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    bool hex4(char16_t& unit)
    {
        if (m_pos + 4 > m_text.size())
            return fail(QStringLiteral("invalid \\u escape"));
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(m_text.at(m_pos + i));
            if (digit < 0)
                return fail(QStringLiteral("invalid \\u escape"));
            unit = static_cast<char16_t>(unit * 16 + digit);
        }
        m_pos += 4;
        return true;
    }

    bool string(QString& out)
    {
        ++m_pos;  // the opening quote
        QByteArray utf8;  // runs of plain bytes, checked as UTF-8 when flushed
        out.clear();
        auto flush = [&]() {
            if (utf8.isEmpty())
                return true;
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = decoder(utf8);
            if (decoder.hasError())
                return fail(QStringLiteral("invalid UTF-8 in a string"));
            out += decoded;
            utf8.clear();
            return true;
        };
        while (true) {
            if (atEnd())
                return fail(QStringLiteral("unterminated string"));
            const char c = m_text.at(m_pos);
            if (c == '"') {
                if (!flush())
                    return false;
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                return fail(QStringLiteral("control character in a string"));
            if (c != '\\') {
                utf8.append(c);
                ++m_pos;
                continue;
            }
            if (!flush())
                return false;
            ++m_pos;
            if (atEnd())
                return fail(QStringLiteral("unterminated string"));
            const char escape = m_text.at(m_pos++);
            switch (escape) {
            case '"': out += QLatin1Char('"'); break;
            case '\\': out += QLatin1Char('\\'); break;
            case '/': out += QLatin1Char('/'); break;
            case 'b': out += QLatin1Char('\b'); break;
            case 'f': out += QLatin1Char('\f'); break;
            case 'n': out += QLatin1Char('\n'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 't': out += QLatin1Char('\t'); break;
            case 'u': {
                // Lone surrogates are kept as they are, as JavaScript keeps them.
                char16_t unit = 0;
                if (!hex4(unit))
                    return false;
                out += QChar(unit);
                break;
            }
            default:
                --m_pos;
                return fail(QStringLiteral("invalid escape in a string"));
            }
        }
    }

    bool array(JsonNode& out, int depth)
    {
        if (depth > kMaxJsonDepth)
            return fail(QStringLiteral("nested deeper than %1 levels").arg(kMaxJsonDepth));
        out.kind = JsonNode::Kind::Array;
        ++m_pos;
        skipSpace();
        if (peek() == ']') {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            out.items.emplace_back();
            if (!value(out.items.back(), depth))
                return false;
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == ']') {
                ++m_pos;
                return true;
            }
            return fail(QStringLiteral("expected ',' or ']' in an array"));
        }
    }

    bool object(JsonNode& out, int depth)
    {
        if (depth > kMaxJsonDepth)
            return fail(QStringLiteral("nested deeper than %1 levels").arg(kMaxJsonDepth));
        out.kind = JsonNode::Kind::Object;
        ++m_pos;
        skipSpace();
        if (peek() == '}') {
            ++m_pos;
            return true;
        }
        while (true) {
            skipSpace();
            if (peek() != '"')
                return fail(QStringLiteral("expected a member name"));
            QString name;
            if (!string(name))
                return false;
            skipSpace();
            if (peek() != ':')
                return fail(QStringLiteral("expected ':' after a member name"));
            ++m_pos;
            skipSpace();
            out.members.push_back(JsonMember{std::move(name), JsonNode()});
            if (!value(out.members.back().second, depth))
                return false;
            skipSpace();
            if (peek() == ',') {
                ++m_pos;
                continue;
            }
            if (peek() == '}') {
                ++m_pos;
                return true;
            }
            return fail(QStringLiteral("expected ',' or '}' in an object"));
        }
    }

    const QByteArray& m_text;
    qsizetype m_pos = 0;
};

// A number literal as a double whatever the process's locale: beyond the
// double's range ±inf, below it 0.
double literalToDouble(const QByteArray& literal)
{
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return ::strtod_l(literal.constData(), nullptr, cLocale);  // saturates to ±HUGE_VAL, i.e. ±inf
}

}  // namespace

const JsonNode* JsonNode::member(QLatin1String name) const
{
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->first == name)
            return &it->second;
    }
    return nullptr;
}

QJsonValue JsonNode::toValue() const
{
    switch (kind) {
    case Kind::Null:
        return QJsonValue(QJsonValue::Null);
    case Kind::Bool:
        return QJsonValue(boolean);
    case Kind::String:
        return QJsonValue(text);
    case Kind::Number: {
        bool negative = false;
        quint64 magnitude = 0;
        bool tooLarge = false;
        if (integerFromLiteral(numberText, negative, magnitude, tooLarge) && !tooLarge) {
            if (!negative && magnitude <= static_cast<quint64>(std::numeric_limits<qint64>::max()))
                return QJsonValue(static_cast<qint64>(magnitude));
            if (negative && magnitude <= static_cast<quint64>(std::numeric_limits<qint64>::max()) + 1)
                return QJsonValue(static_cast<qint64>(0 - magnitude));
        }
        return QJsonValue(literalToDouble(numberText));
    }
    case Kind::Array: {
        QJsonArray array;
        for (const JsonNode& item : items)
            array.append(item.toValue());
        return array;
    }
    case Kind::Object: {
        QJsonObject object;
        for (const auto& [name, node] : members)
            object.insert(name, node.toValue());
        return object;
    }
    }
    return QJsonValue();
}

JsonNode nodeFromValue(const QJsonValue& value)
{
    JsonNode node;
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    case QJsonValue::Bool:
        node.kind = JsonNode::Kind::Bool;
        node.boolean = value.toBool();
        break;
    case QJsonValue::Double: {
        node.kind = JsonNode::Kind::Number;
        const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
        node.numberText = json.mid(1, json.size() - 2);
        if (node.numberText == "null")  // a non-finite double has no JSON text
            node.numberText = value.toDouble() < 0 ? "-1e999" : "1e999";
        break;
    }
    case QJsonValue::String:
        node.kind = JsonNode::Kind::String;
        node.text = value.toString();
        break;
    case QJsonValue::Array:
        node.kind = JsonNode::Kind::Array;
        for (const QJsonValue& item : value.toArray())
            node.items.push_back(nodeFromValue(item));
        break;
    case QJsonValue::Object: {
        node.kind = JsonNode::Kind::Object;
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            node.members.push_back(JsonMember{it.key(), nodeFromValue(it.value())});
        break;
    }
    }
    return node;
}

bool parseJsonText(const QByteArray& text, JsonNode& out, QString& error, qsizetype& errorOffset)
{
    Reader reader(text);
    out = JsonNode();
    if (reader.read(out))
        return true;
    error = reader.error;
    errorOffset = reader.errorOffset;
    return false;
}

bool integerFromLiteral(const QByteArray& literal, bool& negative, quint64& magnitude, bool& tooLarge)
{
    negative = false;
    magnitude = 0;
    tooLarge = false;
    qsizetype pos = 0;
    if (pos < literal.size() && literal.at(pos) == '-') {
        negative = true;
        ++pos;
    }
    // The significant digits (integer and fraction parts together) and the
    // power of ten they are scaled by.
    QByteArray significand;
    qint64 exponent = 0;
    while (pos < literal.size() && literal.at(pos) >= '0' && literal.at(pos) <= '9')
        significand.append(literal.at(pos++));
    if (pos < literal.size() && literal.at(pos) == '.') {
        ++pos;
        while (pos < literal.size() && literal.at(pos) >= '0' && literal.at(pos) <= '9') {
            significand.append(literal.at(pos++));
            --exponent;
        }
    }
    if (significand.isEmpty())
        return false;
    if (pos < literal.size() && (literal.at(pos) == 'e' || literal.at(pos) == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < literal.size() && (literal.at(pos) == '+' || literal.at(pos) == '-'))
            negativeExponent = literal.at(pos++) == '-';
        qint64 written = 0;
        constexpr qint64 kSaturated = qint64(1) << 40;  // far beyond any digit count that fits a message
        bool anyDigit = false;
        while (pos < literal.size() && literal.at(pos) >= '0' && literal.at(pos) <= '9') {
            written = std::min(kSaturated, written * 10 + (literal.at(pos++) - '0'));
            anyDigit = true;
        }
        if (!anyDigit)
            return false;
        exponent += negativeExponent ? -written : written;
    }
    if (pos != literal.size())
        return false;

    qsizetype first = 0;
    while (first < significand.size() && significand.at(first) == '0')
        ++first;
    significand = significand.mid(first);
    if (significand.isEmpty()) {
        negative = false;  // -0 is 0
        return true;
    }
    while (significand.endsWith('0')) {
        significand.chop(1);
        ++exponent;
    }
    if (exponent < 0)
        return false;  // a fraction remains
    if (significand.size() + exponent > 20) {  // 2^64 has 20 digits
        tooLarge = true;
        return true;
    }
    quint64 value = 0;
    const quint64 max = std::numeric_limits<quint64>::max();
    auto times10Plus = [&](unsigned digit) {
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
        return true;
    };
    for (const char c : significand) {
        if (!times10Plus(static_cast<unsigned>(c - '0'))) {
            tooLarge = true;
            return true;
        }
    }
    for (qint64 i = 0; i < exponent; ++i) {
        if (!times10Plus(0)) {
            tooLarge = true;
            return true;
        }
    }
    magnitude = value;
    return true;
}

}  // namespace host
