// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/InputRequest.h"

#include <QJsonArray>
#include <QJsonValue>

#include <cmath>

namespace host {

namespace {

// Control coordinates beyond this are certainly a mistake.
constexpr double kMaxCoordinate = 100000.0;
constexpr int kMaxWheelDelta = 120 * 100;

struct NamedKey {
    const char* name;
    int key;
    const char* text;
};

constexpr NamedKey kNamedKeys[] = {
    {"escape", Qt::Key_Escape, "\x1b"},  {"esc", Qt::Key_Escape, "\x1b"},
    {"space", Qt::Key_Space, " "},       {"left", Qt::Key_Left, ""},
    {"right", Qt::Key_Right, ""},        {"up", Qt::Key_Up, ""},
    {"down", Qt::Key_Down, ""},          {"enter", Qt::Key_Enter, "\r"},
    {"return", Qt::Key_Return, "\r"},    {"tab", Qt::Key_Tab, "\t"},
    {"backspace", Qt::Key_Backspace, "\b"}, {"delete", Qt::Key_Delete, "\x7f"},
    {"insert", Qt::Key_Insert, ""},      {"home", Qt::Key_Home, ""},
    {"end", Qt::Key_End, ""},            {"pageup", Qt::Key_PageUp, ""},
    {"pagedown", Qt::Key_PageDown, ""},
};

bool readCoordinate(const QJsonObject& object, const char* name, double& value, QString& why)
{
    const QJsonValue v = object.value(QLatin1String(name));
    if (!v.isDouble() || !std::isfinite(v.toDouble()) || std::fabs(v.toDouble()) > kMaxCoordinate) {
        why = QStringLiteral("\"%1\" must be a number (control coordinates)").arg(QLatin1String(name));
        return false;
    }
    value = v.toDouble();
    return true;
}

bool readButton(const QJsonObject& object, Qt::MouseButton& button, QString& why)
{
    const QJsonValue v = object.value(QLatin1String("button"));
    if (v.isUndefined()) {
        button = Qt::LeftButton;
        return true;
    }
    const QString name = v.toString().toLower();
    if (name == QLatin1String("left"))
        button = Qt::LeftButton;
    else if (name == QLatin1String("right"))
        button = Qt::RightButton;
    else if (name == QLatin1String("middle"))
        button = Qt::MiddleButton;
    else {
        why = QStringLiteral("\"button\" must be \"left\", \"right\" or \"middle\"");
        return false;
    }
    return true;
}

bool readModifiers(const QJsonObject& object, Qt::KeyboardModifiers& modifiers, QString& why)
{
    modifiers = Qt::NoModifier;
    const QJsonValue v = object.value(QLatin1String("modifiers"));
    if (v.isUndefined())
        return true;
    if (!v.isArray()) {
        why = QStringLiteral("\"modifiers\" must be an array of \"shift\", \"ctrl\", \"alt\", \"meta\"");
        return false;
    }
    for (const QJsonValue& item : v.toArray()) {
        const QString name = item.toString().toLower();
        if (name == QLatin1String("shift"))
            modifiers |= Qt::ShiftModifier;
        else if (name == QLatin1String("ctrl") || name == QLatin1String("control"))
            modifiers |= Qt::ControlModifier;
        else if (name == QLatin1String("alt"))
            modifiers |= Qt::AltModifier;
        else if (name == QLatin1String("meta"))
            modifiers |= Qt::MetaModifier;
        else {
            why = QStringLiteral("unknown modifier %1: use \"shift\", \"ctrl\", \"alt\" or \"meta\"")
                      .arg(item.isString() ? item.toString() : QStringLiteral("(not a text)"));
            return false;
        }
    }
    return true;
}

}  // namespace

bool keyFromName(const QString& name, int& key, QString& text)
{
    if (name.size() == 1) {
        const QChar c = name.at(0);
        if (!c.isPrint())
            return false;
        key = c.toUpper().unicode();  // Qt's key codes for Latin-1 are their upper-case code points
        text = name;
        return true;
    }
    const QString lower = name.toLower();
    for (const NamedKey& named : kNamedKeys) {
        if (lower == QLatin1String(named.name)) {
            key = named.key;
            text = QString::fromLatin1(named.text);
            return true;
        }
    }
    if (lower.size() >= 2 && lower.at(0) == QLatin1Char('f')) {
        bool ok = false;
        const int number = lower.mid(1).toInt(&ok);
        if (ok && number >= 1 && number <= 12 && lower.mid(1) == QString::number(number)) {
            key = Qt::Key_F1 + (number - 1);
            text.clear();
            return true;
        }
    }
    return false;
}

bool parseInputRequest(const QJsonObject& object, InputRequest& request, QString& why)
{
    static const struct {
        const char* name;
        InputRequest::Type type;
    } kTypes[] = {
        {"press", InputRequest::Type::Press},       {"release", InputRequest::Type::Release},
        {"click", InputRequest::Type::Click},       {"dblclick", InputRequest::Type::DoubleClick},
        {"move", InputRequest::Type::Move},         {"wheel", InputRequest::Type::Wheel},
        {"key", InputRequest::Type::Key},
    };

    const QString typeName = object.value(QLatin1String("type")).toString();
    bool known = false;
    for (const auto& t : kTypes) {
        if (typeName == QLatin1String(t.name)) {
            request.type = t.type;
            known = true;
        }
    }
    if (!known) {
        why = QStringLiteral("\"type\" must be one of press, release, click, dblclick, move, wheel, key");
        return false;
    }
    if (!readModifiers(object, request.modifiers, why))
        return false;

    if (request.type == InputRequest::Type::Key) {
        const QJsonValue key = object.value(QLatin1String("key"));
        if (!key.isString() || !keyFromName(key.toString(), request.key, request.text)) {
            why = QStringLiteral("\"key\" must name a key (Escape, Space, Left, Enter, F1, ...) or be one character");
            return false;
        }
        return true;
    }

    double x = 0;
    double y = 0;
    if (!readCoordinate(object, "x", x, why) || !readCoordinate(object, "y", y, why))
        return false;
    request.pos = QPointF(x, y);

    if (request.type == InputRequest::Type::Wheel) {
        const QJsonValue delta = object.value(QLatin1String("delta"));
        if (delta.isUndefined()) {
            request.wheelDelta = 120;
        } else {
            const double d = delta.toDouble(0.0);
            if (!delta.isDouble() || std::trunc(d) != d || d == 0.0 || std::fabs(d) > kMaxWheelDelta) {
                why = QStringLiteral("\"delta\" must be a nonzero integer (120 per notch, at most %1)")
                          .arg(kMaxWheelDelta);
                return false;
            }
            request.wheelDelta = static_cast<int>(d);
        }
        return true;
    }
    if (request.type != InputRequest::Type::Move)
        return readButton(object, request.button, why);
    return true;
}

}  // namespace host
