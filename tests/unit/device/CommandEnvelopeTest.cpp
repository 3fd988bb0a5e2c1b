// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNetworkLibrary.h"

#include "device/CommandEnvelope.h"

#include <gtest/gtest.h>

TEST(CommandEnvelope, LoginTextIsCompactAndSorted)
{
    CommandEnvelope login("LOGIN");
    // Added out of order on purpose: the text must come out sorted by name.
    login.text("USERNAME", "admin")
        .sint("DEVTYPE", 0)
        .text("DEVIP", "127.0.0.1")
        .uint("DEVPORT", 9000)
        .text("PASSWORD", "admin")
        .uint("CALLBACK", 1234)
        .uint("USERDATA", 7)
        .uint("CLIENTID", 0);
    EXPECT_EQ(login.toText(),
              R"({"KEY":"LOGIN","PARAM":{"CALLBACK":1234,"CLIENTID":0,"DEVIP":"127.0.0.1","DEVPORT":9000,)"
              R"("DEVTYPE":0,"PASSWORD":"admin","USERDATA":7,"USERNAME":"admin"}})");
}

TEST(CommandEnvelope, InitAndUninitHaveNoParam)
{
    EXPECT_EQ(CommandEnvelope("INIT").toText(), R"({"KEY":"INIT"})");
    EXPECT_EQ(CommandEnvelope("UNINIT").toText(), R"({"KEY":"UNINIT"})");
}

TEST(CommandEnvelope, FourKinds)
{
    CommandEnvelope command("KINDS");
    command.uint("A_UINT64", 0xFFFFFFFFFFFFFFFFull)
        .sint("B_INT", -5)
        .sint("C_INTMIN", INT32_MIN)
        .text("D_TEXT", "20240131235959")
        .uintArray("E_ARRAY", {1, 2, 0xFFFFFFFFu})
        .uintArray("F_EMPTY", {});
    EXPECT_EQ(command.toText(),
              R"({"KEY":"KINDS","PARAM":{"A_UINT64":18446744073709551615,"B_INT":-5,"C_INTMIN":-2147483648,)"
              R"("D_TEXT":"20240131235959","E_ARRAY":[1,2,4294967295],"F_EMPTY":[]}})");
}

TEST(CommandEnvelope, LongArrayStaysOnOneLine)
{
    // JsonCpp switches long arrays to its multi-line layout; with no
    // indentation that must still be compact.
    std::vector<std::uint32_t> handles;
    std::string expected = R"({"KEY":"REMOTEPLAY","PARAM":{"HWND":[)";
    for (std::uint32_t i = 1; i <= 40; ++i) {
        handles.push_back(i * 1000);
        expected += (i > 1 ? "," : "") + std::to_string(i * 1000);
    }
    expected += "]}}";
    CommandEnvelope command("REMOTEPLAY");
    command.uintArray("HWND", handles);
    EXPECT_EQ(command.toText(), expected);
}

TEST(CommandEnvelope, TextsAreEscapedAndUtf8PassesThrough)
{
    CommandEnvelope command("X");
    command.text("T", std::string("a\"b\\c\nd\te\x01/\0z", 13)).text("U", "caf\xC3\xA9 \xE6\x97\xA5");
    const std::string text = command.toText();
    EXPECT_EQ(text, R"({"KEY":"X","PARAM":{"T":"a\"b\\c\nd\te\u0001/\u0000z","U":"café 日"}})");
    EXPECT_NE(text.back(), '\n');
}

TEST(CommandEnvelope, MemberOrderIsByteOrder)
{
    CommandEnvelope command("X");
    command.uint("b", 1).uint("B", 2).uint("_", 3).uint("a", 4).uint("AB", 5).uint("A", 6);
    // '_' (0x5F) sorts between upper and lower case; a prefix sorts first.
    EXPECT_EQ(command.toText(), R"({"KEY":"X","PARAM":{"A":6,"AB":5,"B":2,"_":3,"a":4,"b":1}})");
}

TEST(CommandEnvelope, SendPassesOnlyRequestedOutputsAndClearsDetail)
{
    FakeNetworkLibrary fake;
    fake.answer({7, 99, 0x2A, {}});
    CommandEnvelope command("LOGOUT");
    command.uint("HDEV", 5);

    const CommandResult bare = sendCommand(command);
    ASSERT_EQ(fake.calls().size(), 1u);
    EXPECT_EQ(fake.calls()[0].text, R"({"KEY":"LOGOUT","PARAM":{"HDEV":5}})");
    EXPECT_FALSE(fake.calls()[0].handleGiven);
    EXPECT_FALSE(fake.calls()[0].detailGiven);
    EXPECT_EQ(fake.calls()[0].responseSize, 0u);
    EXPECT_EQ(bare.result, 7);
    EXPECT_EQ(bare.handle, 0u);
    EXPECT_EQ(bare.detail, 0u);

    const CommandResult full = sendCommand(command, true, true);
    ASSERT_EQ(fake.calls().size(), 2u);
    EXPECT_TRUE(fake.calls()[1].handleGiven);
    EXPECT_TRUE(fake.calls()[1].detailGiven);
    EXPECT_EQ(fake.calls()[1].detailOnEntry, 0u);
    EXPECT_EQ(full.handle, 99u);
    EXPECT_EQ(full.detail, 0x2Au);
    EXPECT_FALSE(full.ok());
}

TEST(CommandEnvelope, ResponseBufferIsReadWithinItsSize)
{
    FakeNetworkLibrary fake;
    CommandEnvelope command("GETPROGRESS");
    command.uint("HCOM", 3);

    const std::string progress = R"({"RESPONSE":{"GETSIZE":10,"STATE":1,"TOTALSIZE":20}})";
    fake.answer({0, 0, 0, progress});
    EXPECT_EQ(sendCommand(command, false, false, 1000).response, progress);
    EXPECT_EQ(fake.calls().back().responseSize, 1000u);

    // A library that fills the whole buffer without a terminator.
    fake.answer({0, 0, 0, std::string(64, 'x')});
    EXPECT_EQ(sendCommand(command, false, false, 16).response, std::string(16, 'x'));
}
