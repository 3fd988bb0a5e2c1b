// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/InputRequest.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

bool parse(const char* json, host::InputRequest& request, QString* why = nullptr)
{
    QString reason;
    const bool ok = host::parseInputRequest(QJsonDocument::fromJson(json).object(), request, reason);
    if (why != nullptr)
        *why = reason;
    return ok;
}

TEST(InputRequest, ReadsMouseRequestsWithDefaults)
{
    host::InputRequest r;
    ASSERT_TRUE(parse(R"({"type":"click","x":10,"y":20.5})", r));
    EXPECT_EQ(r.type, host::InputRequest::Type::Click);
    EXPECT_EQ(r.pos, QPointF(10, 20.5));
    EXPECT_EQ(r.button, Qt::LeftButton);

    ASSERT_TRUE(parse(R"({"type":"press","x":1,"y":2,"button":"right","modifiers":["ctrl","shift"]})", r));
    EXPECT_EQ(r.button, Qt::RightButton);
    EXPECT_EQ(r.modifiers, Qt::ControlModifier | Qt::ShiftModifier);

    ASSERT_TRUE(parse(R"({"type":"wheel","x":1,"y":2})", r));
    EXPECT_EQ(r.wheelDelta, 120);
    ASSERT_TRUE(parse(R"({"type":"wheel","x":1,"y":2,"delta":-240})", r));
    EXPECT_EQ(r.wheelDelta, -240);
}

TEST(InputRequest, RefusesMalformedRequests)
{
    const char* bad[] = {
        R"({"x":1,"y":2})",
        R"({"type":"tap","x":1,"y":2})",
        R"({"type":"click","x":1})",
        R"({"type":"click","x":"1","y":2})",
        R"({"type":"click","x":1,"y":2,"button":"fourth"})",
        R"({"type":"move","x":1e9,"y":2})",
        R"({"type":"wheel","x":1,"y":2,"delta":0})",
        R"({"type":"wheel","x":1,"y":2,"delta":1.5})",
        R"({"type":"key"})",
        R"({"type":"key","key":"NoSuchKey"})",
        R"({"type":"key","key":"a","modifiers":["hyper"]})",
    };
    for (const char* json : bad) {
        host::InputRequest r;
        QString why;
        EXPECT_FALSE(parse(json, r, &why)) << json;
        EXPECT_FALSE(why.isEmpty()) << json;
    }
}

TEST(InputRequest, NamesKeysAsAKeyboardWould)
{
    const struct {
        const char* name;
        int key;
        const char* text;
    } keys[] = {
        {"Escape", Qt::Key_Escape, "\x1b"}, {"space", Qt::Key_Space, " "}, {"Left", Qt::Key_Left, ""},
        {"ENTER", Qt::Key_Enter, "\r"},     {"Return", Qt::Key_Return, "\r"}, {"PageDown", Qt::Key_PageDown, ""},
        {"F1", Qt::Key_F1, ""},             {"f12", Qt::Key_F12, ""},       {"a", Qt::Key_A, "a"},
        {"A", Qt::Key_A, "A"},              {"7", Qt::Key_7, "7"},          {",", Qt::Key_Comma, ","},
    };
    for (const auto& k : keys) {
        int key = 0;
        QString text;
        ASSERT_TRUE(host::keyFromName(QString::fromLatin1(k.name), key, text)) << k.name;
        EXPECT_EQ(key, k.key) << k.name;
        EXPECT_EQ(text, QString::fromLatin1(k.text)) << k.name;
    }
    int key = 0;
    QString text;
    EXPECT_FALSE(host::keyFromName(QStringLiteral("F13"), key, text));
    EXPECT_FALSE(host::keyFromName(QStringLiteral("F01"), key, text));
    EXPECT_FALSE(host::keyFromName(QStringLiteral("ab"), key, text));
    EXPECT_FALSE(host::keyFromName(QString(), key, text));
}

}  // namespace
