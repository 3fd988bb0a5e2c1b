// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/ArgumentCoercion.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

// The value as a request would carry it (so that numbers go through the
// same reader as on the wire, their texts kept).
host::JsonNode wire(const char* json)
{
    host::JsonNode node;
    QString error;
    qsizetype offset = 0;
    EXPECT_TRUE(host::parseJsonText(json, node, error, offset)) << json << ": " << qPrintable(error);
    return node;
}

struct Case {
    const char* json;
    VarType type;
    bool accepted;
    std::int64_t integer;  // when accepted
};

TEST(Coercion, IntegersAreAcceptedInRangeAndRefusedOutside)
{
    const Case cases[] = {
        {"0", VarType::UI4, true, 0}, {"4294967295", VarType::UI4, true, 4294967295LL},
        {"-1", VarType::UI4, false, 0}, {"4294967296", VarType::UI4, false, 0},
        {"1e3", VarType::UI4, true, 1000}, {"1.5", VarType::UI4, false, 0},
        {"\" 42 \"", VarType::UI4, true, 42}, {"\"4294967295\"", VarType::UI4, true, 4294967295LL},
        {"\"4294967296\"", VarType::UI4, false, 0}, {"\"99999999999999999999999\"", VarType::UI4, false, 0},
        {"\"abc\"", VarType::UI4, false, 0}, {"\"1.5\"", VarType::UI4, false, 0},
        {"\"0x10\"", VarType::UI4, false, 0}, {"\"\"", VarType::UI4, false, 0},
        {"true", VarType::UI4, false, 0}, {"false", VarType::UI4, false, 0},
        {"null", VarType::UI4, false, 0}, {"[1]", VarType::UI4, false, 0},
        {"{}", VarType::UI4, false, 0}, {"-0", VarType::UI4, true, 0},
        {"-2147483648", VarType::I4, true, -2147483648LL}, {"2147483647", VarType::I4, true, 2147483647},
        {"-2147483649", VarType::I4, false, 0}, {"2147483648", VarType::I4, false, 0},
        {"\"-7\"", VarType::I4, true, -7}, {"true", VarType::I4, true, -1},
        {"false", VarType::I4, true, 0}, {"65535", VarType::UI2, true, 65535},
        {"65536", VarType::UI2, false, 0}, {"-32768", VarType::I2, true, -32768},
        {"-32769", VarType::I2, false, 0}, {"32768", VarType::I2, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.json) + " as " + varTypeName(c.type));
        Variant out;
        QString why;
        const bool accepted = host::coerceArgument(wire(c.json), c.type, out, why);
        ASSERT_EQ(accepted, c.accepted) << qPrintable(why);
        if (accepted) {
            EXPECT_EQ(out.type, c.type);
            EXPECT_EQ(out.integer, c.integer);
        } else {
            EXPECT_FALSE(why.isEmpty());
        }
    }
}

// Every digit counts: a coercion through float (24-bit mantissa), double
// (53 bits) or "%g" (six significant digits) changes these values.
TEST(Coercion, ManyDigitIntegersAreExactWhetherNumberOrText)
{
    const Case cases[] = {
        {"1234567", VarType::UI4, true, 1234567},        {"\"1234567\"", VarType::UI4, true, 1234567},
        {"16777217", VarType::UI4, true, 16777217},      {"\"16777217\"", VarType::I4, true, 16777217},
        {"4294967295", VarType::UI4, true, 4294967295LL}, {"\"4294967295\"", VarType::UI4, true, 4294967295LL},
        {"2147483647", VarType::I4, true, 2147483647},   {"\"2147483647\"", VarType::I4, true, 2147483647},
        {"\"-2147483648\"", VarType::I4, true, -2147483648LL}, {"-2147483647", VarType::I4, true, -2147483647},
        {"4294967295.000", VarType::UI4, true, 4294967295LL}, {"42949672.95e2", VarType::UI4, true, 4294967295LL},
        {"4294967294.9999999", VarType::UI4, false, 0},  {"2147483647.5", VarType::I4, false, 0},
        {"\"999999\"", VarType::UI2, false, 0},           {"-32767", VarType::I2, true, -32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.json) + " as " + varTypeName(c.type));
        Variant out;
        QString why;
        ASSERT_EQ(host::coerceArgument(wire(c.json), c.type, out, why), c.accepted) << qPrintable(why);
        if (c.accepted) {
            EXPECT_EQ(out.integer, c.integer);
        }
    }
    // The same through Qt's own types (values made by the host itself).
    Variant out;
    QString why;
    ASSERT_TRUE(host::coerceArgument(QJsonValue(qint64(4294967295LL)), VarType::UI4, out, why));
    EXPECT_EQ(out.integer, 4294967295LL);
    ASSERT_TRUE(host::coerceArgument(QJsonValue(QStringLiteral("1234567")), VarType::UI4, out, why));
    EXPECT_EQ(out.integer, 1234567);
}

TEST(Coercion, NumbersBeyondADoubleAreRefusedAsOutOfRangeNotAsBadJson)
{
    for (const char* json : {"1e400", "-1e400", "1E+400", "123456789012345678901234567890"}) {
        Variant out;
        QString why;
        EXPECT_FALSE(host::coerceArgument(wire(json), VarType::UI4, out, why)) << json;
        EXPECT_TRUE(why.contains(QLatin1String(json))) << qPrintable(why);
        EXPECT_TRUE(why.contains(QLatin1String("out of range"))) << qPrintable(why);
    }
    // Tiny is not an integer; zero written with a huge exponent is.
    Variant out;
    QString why;
    EXPECT_FALSE(host::coerceArgument(wire("1e-400"), VarType::UI4, out, why));
    EXPECT_TRUE(why.contains(QLatin1String("1e-400"))) << qPrintable(why);
    ASSERT_TRUE(host::coerceArgument(wire("0e999999999999"), VarType::UI4, out, why)) << qPrintable(why);
    EXPECT_EQ(out.integer, 0);
}

TEST(Coercion, RefusalsQuoteTheNumberAsWritten)
{
    const struct {
        const char* json;
        VarType type;
    } cases[] = {{"18446744073709551615", VarType::UI4}, {"18446744073709551616", VarType::UI8},
                 {"9007199254740993", VarType::I4},      {"4294967296", VarType::UI4},
                 {"-9223372036854775809", VarType::I4},  {"1.00000000000000000001", VarType::UI2}};
    for (const auto& c : cases) {
        Variant out;
        QString why;
        ASSERT_FALSE(host::coerceArgument(wire(c.json), c.type, out, why)) << c.json;
        EXPECT_TRUE(why.contains(QString::fromLatin1(c.json))) << c.json << ": " << qPrintable(why);
    }
}

TEST(Coercion, Ui8TakesTheFull64Bits)
{
    Variant out;
    QString why;
    ASSERT_TRUE(host::coerceArgument(wire("\"18446744073709551615\""), VarType::UI8, out, why));
    EXPECT_EQ(out.uint64, 18446744073709551615ULL);
    EXPECT_FALSE(host::coerceArgument(wire("\"18446744073709551616\""), VarType::UI8, out, why));
    EXPECT_FALSE(host::coerceArgument(wire("-1"), VarType::UI8, out, why));
    // As a number too, without passing through a double.
    ASSERT_TRUE(host::coerceArgument(wire("18446744073709551615"), VarType::UI8, out, why));
    EXPECT_EQ(out.uint64, 18446744073709551615ULL);
    ASSERT_TRUE(host::coerceArgument(wire("9007199254740993"), VarType::UI8, out, why));
    EXPECT_EQ(out.uint64, 9007199254740993ULL);
    EXPECT_FALSE(host::coerceArgument(wire("18446744073709551616"), VarType::UI8, out, why));
}

TEST(Coercion, TextsTakeAnyScalarAsAutomationWould)
{
    const struct {
        const char* json;
        const char* text;
    } cases[] = {{"\"x\"", "x"}, {"null", ""}, {"5", "5"}, {"-12", "-12"}, {"1.5", "1.5"}, {"true", "-1"},
                 {"false", "0"}, {"4294967296", "4294967296"},
                 // every digit of an integer, not "%g"'s six or a double's 15-17
                 {"1234567", "1234567"}, {"16777217", "16777217"}, {"9007199254740993", "9007199254740993"},
                 {"-9223372036854775808", "-9223372036854775808"}, {"1e3", "1000"}, {"-0", "0"}};
    for (const auto& c : cases) {
        Variant out;
        QString why;
        ASSERT_TRUE(host::coerceArgument(wire(c.json), VarType::BSTR, out, why)) << c.json;
        EXPECT_EQ(out.type, VarType::BSTR);
        EXPECT_EQ(out.text, QString::fromUtf8(c.text)) << c.json;
    }
    Variant out;
    QString why;
    EXPECT_FALSE(host::coerceArgument(wire("{\"a\":1}"), VarType::BSTR, out, why));
    EXPECT_FALSE(host::coerceArgument(wire("[\"a\"]"), VarType::BSTR, out, why));
}

TEST(Coercion, RefusalNamesTheTypeAndTheValue)
{
    Variant out;
    QString why;
    ASSERT_FALSE(host::coerceArgument(wire("-1"), VarType::UI4, out, why));
    EXPECT_TRUE(why.contains(QLatin1String("UI4"))) << qPrintable(why);
    EXPECT_TRUE(why.contains(QLatin1String("-1"))) << qPrintable(why);
}

QByteArray asJson(const QJsonValue& value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
}

TEST(Results, AreWrittenAsTheirTypeWithoutLosingDigits)
{
    EXPECT_EQ(asJson(host::variantToJson(Variant::ui4(4294967295U))), "[4294967295]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::i4(-2147483647 - 1))), "[-2147483648]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::ui2(65535))), "[65535]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::i2(-5))), "[-5]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::ui8(5000000000ULL))), "[5000000000]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::bstr(QStringLiteral("00000000_1")))), "[\"00000000_1\"]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::empty())), "[null]");
}

TEST(Results, AreReadAsTheDeclaredType)
{
    // A method declared UI4 that yields -1 answers 4294967295; one declared
    // I4 keeps the sign; one declared "none" answers null.
    EXPECT_EQ(asJson(host::variantToJson(Variant::i4(-1), VarType::UI4)), "[4294967295]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::ui4(4294967295U), VarType::I4)), "[-1]");
    EXPECT_EQ(asJson(host::variantToJson(Variant::ui4(3), VarType::Empty)), "[null]");
}

}  // namespace
