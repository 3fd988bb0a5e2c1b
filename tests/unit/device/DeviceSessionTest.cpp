// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNetworkLibrary.h"
#include "FakePanels.h"
#include "ProfileSandbox.h"

#include "device/CDeviceManage.h"
#include "device/DecodeHexDes.h"
#include "device/DeviceCallback.h"
#include "device/DeviceSession.h"
#include "platform/Debug.h"

#include <json/json.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

namespace {

// The page's form of a clear password (zero padding to whole blocks).
QString cipherTextOf(const std::string& clear)
{
    const unsigned char key[8] = {'g', 'l', 'a', 'r', 'i', 'n', 'g', 'l'};
    std::string padded = clear;
    padded.resize((clear.size() + 7) / 8 * 8, '\0');
    QString hex;
    for (std::size_t i = 0; i < padded.size(); i += 8) {
        unsigned char out[8];
        desEncryptBlock(key, reinterpret_cast<const unsigned char*>(padded.data() + i), out);
        hex += QByteArray(reinterpret_cast<const char*>(out), 8).toHex();
    }
    return hex;
}

Json::Value parse(const std::string& text)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, &errors)) << errors;
    return root;
}

bool debugLinesContain(const std::string& line)
{
    const std::vector<std::string> lines = platform::takeDebugLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class DeviceSessionTest : public ::testing::Test {
protected:
    void SetUp() override { platform::takeDebugLines(); }

    ProfileSandbox profile;
    FakeNetworkLibrary library;
    FakePreview preview;
    FakePlayback playback;
};

}  // namespace

TEST(DeviceSessionIds, NonzeroBelow2To31AndUniqueAmongLiveSessions)
{
    std::vector<std::unique_ptr<DeviceSession>> sessions;
    std::set<std::uint32_t> ids;
    for (int i = 0; i < 1000; ++i) {
        sessions.push_back(std::make_unique<DeviceSession>());
        const std::uint32_t id = sessions.back()->id();
        EXPECT_NE(id, 0u);
        EXPECT_LT(id, 0x80000000u);
        EXPECT_TRUE(ids.insert(id).second) << id;
    }
}

TEST_F(DeviceSessionTest, LoginSendsTheLoginText)
{
    DeviceSession session;
    session.setLoginParameters("192.168.1.20", 9000, "admin", cipherTextOf("pa\"ss"), 3);
    library.answer({0, 77, 0, {}});
    ASSERT_EQ(session.login(), 0u);

    ASSERT_EQ(library.calls().size(), 1u);
    const FakeCall& call = library.calls()[0];
    EXPECT_TRUE(call.handleGiven);
    EXPECT_TRUE(call.detailGiven);
    EXPECT_EQ(call.detailOnEntry, 0u);
    const std::string expected =
        R"({"KEY":"LOGIN","PARAM":{"CALLBACK":)" + std::to_string(reinterpret_cast<std::uintptr_t>(&DeviceCallback)) +
        R"(,"CLIENTID":3,"DEVIP":"192.168.1.20","DEVPORT":9000,"DEVTYPE":0,"PASSWORD":"pa\"ss","USERDATA":)" +
        std::to_string(session.id()) + R"(,"USERNAME":"admin"}})";
    EXPECT_EQ(call.text, expected);
}

TEST_F(DeviceSessionTest, LoginTextsMustFit256Bytes)
{
    const auto sentParam = [this](const QString& address, const QString& user, const QString& password) {
        DeviceSession session;
        session.setLoginParameters(address, 9000, user, password, 0);
        library.answer({1, 0, 0, {}});
        session.login();
        return parse(library.calls().back().text)["PARAM"];
    };
    const QString fits(255, QChar('a'));        // 255 bytes + terminator = 256
    const QString tooLong(256, QChar('a'));
    const QString wideFits(127, QChar(0xE9));   // 254 bytes of UTF-8
    const QString wideTooLong(128, QChar(0xE9));  // 256 bytes + terminator

    Json::Value param = sentParam(fits, wideFits, QString(300, QChar('A')));
    EXPECT_EQ(param["DEVIP"].asString(), fits.toStdString());
    EXPECT_EQ(param["USERNAME"].asString(), wideFits.toStdString());
    EXPECT_EQ(param["PASSWORD"].asString(), "");  // a 300-character password text is sent empty

    param = sentParam(tooLong, wideTooLong, cipherTextOf("ok"));
    EXPECT_EQ(param["DEVIP"].asString(), "");
    EXPECT_EQ(param["USERNAME"].asString(), "");
    EXPECT_EQ(param["PASSWORD"].asString(), "ok");
}

TEST_F(DeviceSessionTest, LoginErrorCodes)
{
    struct Case {
        FakeAnswer answer;
        std::uint32_t code;
        const char* line;
    };
    const Case cases[] = {
        {{7, 0, 0x2A, {}}, 0x2Au, "check Login done  error-code=0000002a\n"},
        {{5, 0, 0, {}}, DeviceSession::kUnreachableCode, "check Login done  error-code=11111111\n"},
        {{6, 0, 0, {}}, 6u, "check Login done  error-code=00000006\n"},
        {{-3, 0, 0, {}}, 0xFFFFFFFDu, "check Login done  error-code=fffffffd\n"},
        // A refusal without a detail code must not read as success.
        {{7, 0, 0, {}}, 7u, "check Login done  error-code=00000007\n"},
        // Success without a device handle is a failure.
        {{0, 0, 0, {}}, 1u, "check Login done  error-code=00000001\n"},
    };
    for (const Case& c : cases) {
        DeviceSession session;
        session.setPanels(&preview, &playback);
        session.setLoginParameters("10.1.1.1", 9000, "u", "", 0);
        library.answer(c.answer);
        EXPECT_EQ(session.login(), c.code) << c.line;
        EXPECT_TRUE(debugLinesContain(c.line)) << c.line;
        EXPECT_EQ(session.deviceHandle(), 0u);
        EXPECT_TRUE(preview.log.isEmpty());
        EXPECT_TRUE(playback.log.isEmpty());
        EXPECT_EQ(session.logout(), 1);  // nothing to log out
    }
}

TEST_F(DeviceSessionTest, SuccessfulLoginLinksPanelsAndLoadsSettings)
{
    DeviceSession session;
    session.setPanels(&preview, &playback);
    session.setLoginParameters("10.1.1.2", 9001, "admin", cipherTextOf("admin"), 0);
    session.setWebPort(8080);
    library.answer({0, 0x1234, 0, {}});
    ASSERT_EQ(session.login(), 0u);

    const QString folder = profile.velkFolder();
    EXPECT_EQ(session.deviceHandle(), 0x1234u);
    EXPECT_EQ(session.settings().iniPath(), folder + "10.1.1.2_8080_config.ini");
    EXPECT_EQ(playback.log, (QStringList{"setDevice 4660 10.1.1.2 8080", "setSnapFolder " + folder}));
    EXPECT_EQ(preview.log, (QStringList{"setDevice 4660 " + folder, "setDeviceAddress 10.1.1.2 8080"}));
    EXPECT_EQ(preview.session, &session);
}

TEST_F(DeviceSessionTest, LogoutClosesChannelsThenSendsLogout)
{
    DeviceSession session;
    EXPECT_EQ(session.logout(), 1);  // never logged in: nothing is sent
    EXPECT_TRUE(library.calls().empty());

    session.setPanels(&preview, nullptr);
    library.answer({0, 55, 0, {}});
    ASSERT_EQ(session.login(), 0u);
    preview.log.clear();

    library.answer({6, 0, 0, {}});
    EXPECT_EQ(session.logout(), 0);  // LOGOUT failed: the handle stays
    EXPECT_EQ(session.deviceHandle(), 55u);
    EXPECT_EQ(library.calls().back().text, R"({"KEY":"LOGOUT","PARAM":{"HDEV":55}})");
    EXPECT_FALSE(library.calls().back().handleGiven);
    EXPECT_FALSE(library.calls().back().detailGiven);

    library.answer({0, 0, 0, {}});
    EXPECT_EQ(session.logout(), 1);
    EXPECT_EQ(session.deviceHandle(), 0u);
    EXPECT_EQ(preview.log, (QStringList{"closeAllChannels 1", "closeAllChannels 1"}));

    const std::size_t sent = library.calls().size();
    EXPECT_EQ(session.logout(), 1);
    EXPECT_EQ(library.calls().size(), sent);
}

TEST_F(DeviceSessionTest, PanelOperations)
{
    DeviceSession session;
    EXPECT_EQ(session.startLocalRecord(), 1);  // codes without panels
    EXPECT_EQ(session.activeChannel(), -1);
    EXPECT_EQ(session.switchStreamType(1), 0x80020002u);

    session.setPanels(&preview, &playback);
    session.setLoginParameters("cam", 9000, "u", "", 0);
    library.answer({0, 9, 0, {}});
    ASSERT_EQ(session.login(), 0u);
    preview.log.clear();
    EXPECT_EQ(session.capture(), 0);
    EXPECT_EQ(session.startLocalRecord(), 0);
    preview.recordResult = static_cast<std::int32_t>(0x8002001fu);  // the panel's failure reaches the control
    EXPECT_EQ(session.startLocalRecord(), static_cast<std::int32_t>(0x8002001fu));
    preview.currentStreamType = 1;
    EXPECT_EQ(session.switchStreamType(1), 0u);  // already that type: no window is asked
    preview.switchResult = 0x80060000u;
    EXPECT_EQ(session.switchStreamType(0), 0x80060000u);
    EXPECT_EQ(preview.log, (QStringList{"capture " + profile.velkFolder() + " cam",
                                        "startLocalRecord " + profile.velkFolder() + " cam",
                                        "startLocalRecord " + profile.velkFolder() + " cam", "switchStreamType 0"}));
}

TEST_F(DeviceSessionTest, AllAndNoneOpenMaskTests)
{
    DeviceSession session;
    session.setPanels(&preview, nullptr);
    struct Case {
        int count;
        std::uint32_t mask;
        bool all;
    };
    const Case cases[] = {{4, 0xF, true},        {4, 0x7, false},       {4, 0x1F, false},
                          {16, 0xFFFF, true},    {16, 0xFFFE, false},   {32, 0xFFFFFFFFu, true},
                          {31, 0xFFFFFFFFu, false}, {33, 0xFFFFFFFFu, false}, {-1, 0, false},
                          {0, 0, true}};
    for (const Case& c : cases) {
        session.setChannelCount(c.count);
        preview.openMask = c.mask;
        EXPECT_EQ(session.allChannelsOpen(), c.all) << c.count << " " << c.mask;
        EXPECT_EQ(session.noChannelOpen(), c.mask == 0) << c.count << " " << c.mask;
    }
}

TEST_F(DeviceSessionTest, DeviceManageListsAndDeletesWithoutLogout)
{
    CDeviceManage::shutdown();  // start from an empty list
    platform::takeDebugLines();
    CDeviceManage& list = CDeviceManage::instance();
    ASSERT_EQ(list.size(), 0u);

    auto* first = new DeviceSession;
    auto* second = new DeviceSession;
    library.answer({0, 101, 0, {}});
    ASSERT_EQ(first->login(), 0u);
    list.add(first);
    list.add(second);
    list.add(first);  // listing twice would delete twice
    list.add(nullptr);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(list.contains(first->id()));
    EXPECT_EQ(list.find(second->id()), second);
    EXPECT_EQ(list.find(0), nullptr);

    const std::uint32_t secondId = second->id();
    list.remove(second);
    EXPECT_FALSE(list.contains(secondId));
    EXPECT_EQ(list.size(), 1u);
    DeviceSession unlisted;
    list.remove(&unlisted);  // not listed: nothing happens
    EXPECT_EQ(list.size(), 1u);

    const std::size_t sent = library.calls().size();
    CDeviceManage::shutdown();
    EXPECT_EQ(library.calls().size(), sent);  // no LOGOUT at unload
    EXPECT_EQ(platform::takeDebugLines(), (std::vector<std::string>{"~CDeviceManage 1\n", "~CDeviceManage 2\n"}));
    EXPECT_EQ(CDeviceManage::instance().size(), 0u);
}
