// SPDX-License-Identifier: GPL-3.0-or-later
// The request reader: every valid JSON text is read, numbers keep their
// texts, and faults are reported where they are.
#include "host/JsonText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>

namespace {

host::JsonNode read(const QByteArray& text)
{
    host::JsonNode node;
    QString error;
    qsizetype offset = 0;
    EXPECT_TRUE(host::parseJsonText(text, node, error, offset)) << text.constData() << ": " << qPrintable(error);
    return node;
}

TEST(JsonText, NumbersKeepTheirTextsWhateverADoubleMakesOfThem)
{
    for (const QByteArray literal : {"0", "-0", "18446744073709551615", "1e400", "-1e400", "1e-400", "4294967295.000",
                                     "123456789012345678901234567890.5", "1E+2", "0.1"}) {
        const host::JsonNode node = read("[" + literal + "]");
        ASSERT_EQ(node.items.size(), 1U);
        EXPECT_EQ(node.items[0].kind, host::JsonNode::Kind::Number);
        EXPECT_EQ(node.items[0].numberText, literal);
    }
    // In Qt's types: integers that fit exactly, others the nearest double.
    EXPECT_EQ(read("9223372036854775807").toValue().toInteger(), 9223372036854775807LL);
    EXPECT_EQ(read("-9223372036854775808").toValue().toInteger(), -9223372036854775807LL - 1);
    EXPECT_EQ(read("1e3").toValue().toInteger(), 1000);
    EXPECT_TRUE(std::isinf(read("1e400").toValue().toDouble()));
    EXPECT_LT(read("-1e400").toValue().toDouble(), 0);
    EXPECT_EQ(read("1e-400").toValue().toDouble(), 0.0);
    EXPECT_DOUBLE_EQ(read("2.5").toValue().toDouble(), 2.5);
}

TEST(JsonText, IntegersAreReadExactlyFromLiterals)
{
    const struct {
        const char* literal;
        bool integer;
        bool negative;
        quint64 magnitude;
        bool tooLarge;
    } cases[] = {
        {"0", true, false, 0, false},
        {"-0", true, false, 0, false},
        {"0.000e5", true, false, 0, false},
        {"18446744073709551615", true, false, 18446744073709551615ULL, false},
        {"18446744073709551616", true, false, 0, true},
        {"1844674407370955161.5e1", true, false, 18446744073709551615ULL, false},
        {"1.8446744073709551615e19", true, false, 18446744073709551615ULL, false},
        {"-9223372036854775808", true, true, 9223372036854775808ULL, false},
        {"1e19", true, false, 10000000000000000000ULL, false},
        {"1e20", true, false, 0, true},
        {"1e400", true, false, 0, true},
        {"1e99999999999999999999999", true, false, 0, true},
        {"120e-1", true, false, 12, false},
        {"125e-1", false, false, 0, false},
        {"1e-400", false, false, 0, false},
        {"0.5", false, false, 0, false},
    };
    for (const auto& c : cases) {
        bool negative = false;
        quint64 magnitude = 0;
        bool tooLarge = false;
        ASSERT_EQ(host::integerFromLiteral(c.literal, negative, magnitude, tooLarge), c.integer) << c.literal;
        if (!c.integer)
            continue;
        EXPECT_EQ(tooLarge, c.tooLarge) << c.literal;
        if (!c.tooLarge) {
            EXPECT_EQ(negative, c.negative) << c.literal;
            EXPECT_EQ(magnitude, c.magnitude) << c.literal;
        }
    }
}

TEST(JsonText, StringsAndStructuresReadAsQtReadsThem)
{
    const QByteArray text = R"( {"a":[true,false,null,"x\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"],"b":{},"c":[],"a2":"é"} )";
    const QJsonValue mine = read(text).toValue();
    const QJsonValue qts = QJsonDocument::fromJson(text).object();
    EXPECT_EQ(mine, qts);
    // A repeated member: the last counts.
    EXPECT_EQ(read(R"({"id":1,"id":2})").member(QLatin1String("id"))->numberText, "2");
}

TEST(JsonText, FaultsAreReportedWithTheirOffset)
{
    const struct {
        QByteArray text;
        qsizetype offset;
    } cases[] = {
        {"", 0},          {"{not json", 1},   {"[1,]", 3},      {"[1 2]", 3},       {"01", 1},
        {"1.", 2},        {"1e", 2},          {"-", 1},         {"+1", 0},          {"[1] x", 4},
        {"\"a", 2},       {"\"\\x\"", 2},     {"\"\\u12\"", 3}, {"\"a\tb\"", 2},    {"nul", 0},
        {"{\"a\" 1}", 5}, {"{1:2}", 1},       {"\"\xff\"", 2},  {"NaN", 0},         {"[Infinity]", 1},
    };
    for (const auto& c : cases) {
        host::JsonNode node;
        QString error;
        qsizetype offset = -1;
        EXPECT_FALSE(host::parseJsonText(c.text, node, error, offset)) << c.text.constData();
        EXPECT_EQ(offset, c.offset) << c.text.constData() << ": " << qPrintable(error);
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(JsonText, NestingIsBounded)
{
    const int limit = host::kMaxJsonDepth;
    host::JsonNode node;
    QString error;
    qsizetype offset = 0;
    EXPECT_TRUE(host::parseJsonText(QByteArray(limit, '[') + QByteArray(limit, ']'), node, error, offset));
    EXPECT_FALSE(host::parseJsonText(QByteArray(limit + 1, '[') + QByteArray(limit + 1, ']'), node, error, offset));
    EXPECT_FALSE(host::parseJsonText(QByteArray(100000, '['), node, error, offset));
}

}  // namespace
