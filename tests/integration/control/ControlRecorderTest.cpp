// SPDX-License-Identifier: GPL-3.0-or-later
// Login, logout and device notifications through the real network library
// against a recorder simulator.
#include "RecorderProcess.h"

#include "control/CVELK_DVRCtrl.h"
#include "device/CDeviceManage.h"
#include "device/SessionSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct FiredEvent {
    std::string name;
    std::vector<Variant> args;
};

class ControlWithRecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!RecorderProcess::available())
            GTEST_SKIP() << "no recorder simulator at " << RecorderProcess::programPath().toStdString();
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("s3cret")));
        control = std::make_unique<CVELK_DVRCtrl>();
        control->setEventSink([this](const EventInfo& event, const std::vector<Variant>& args) {
            events.push_back({event.name, args});
        });
        control->createWindow(nullptr, QRect(0, 0, 640, 480), 0, true);
    }

    void TearDown() override
    {
        control.reset();
        CDeviceManage::shutdown();
    }

    QString login(const QByteArray& password)
    {
        return control->Login(QStringLiteral("127.0.0.1"), recorder.devicePort(), QStringLiteral("viewer"),
                              passwordText(password));
    }

    static std::uint32_t idOf(const QString& loginResult)
    {
        return loginResult.mid(loginResult.indexOf(QLatin1Char('_')) + 1).toUInt();
    }

    RecorderProcess recorder;
    std::unique_ptr<CVELK_DVRCtrl> control;
    std::vector<FiredEvent> events;
};

}  // namespace

TEST_F(ControlWithRecorder, LoginAndLogout)
{
    const QString result = login("s3cret");
    ASSERT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
    const std::uint32_t id = idOf(result);
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(CDeviceManage::instance().contains(id));
    EXPECT_EQ(control->GetVolume(id), 50u);

    // The recorder's settings folder exists from login on; a setting creates the file.
    const QString ini = SessionSettings::filePathFor(QStringLiteral("127.0.0.1"), 80);
    EXPECT_TRUE(QFileInfo(ini).dir().exists()) << ini.toStdString();
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("record_pack_time"), QString(), QStringLiteral("get")),
              QStringLiteral("30"));
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("save_alarm"), QStringLiteral("1"), QStringLiteral("set")),
              QStringLiteral("succeed"));
    EXPECT_TRUE(QFileInfo::exists(ini));

    EXPECT_EQ(control->Logout(id), 0u);
    EXPECT_FALSE(CDeviceManage::instance().contains(id));
    EXPECT_EQ(control->Logout(id), 0xFFFFFFFEu);
}

TEST_F(ControlWithRecorder, WrongPasswordIsRefusedWithACode)
{
    const QString result = login("wrong");
    EXPECT_TRUE(result.endsWith(QStringLiteral("_0"))) << result.toStdString();
    EXPECT_FALSE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
    EXPECT_EQ(result.size(), 10);
    EXPECT_EQ(CDeviceManage::instance().size(), 0u);
    EXPECT_EQ(control->currentSession(), nullptr);
}

TEST_F(ControlWithRecorder, UnreachableRecorderAnswersWithinSeconds)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    QElapsedTimer timer;
    timer.start();
    const QString result = control->Login(QStringLiteral("127.0.0.1"), closedPort, QStringLiteral("viewer"),
                                          passwordText("s3cret"));
    EXPECT_EQ(result, QStringLiteral("00000003_0"));
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(ControlWithRecorder, DeviceNotificationReachesThePage)
{
    const QString result = login("s3cret");
    ASSERT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
    ASSERT_TRUE(recorder.notify(8));
    const auto stateEvent = [this] {
        for (const FiredEvent& e : events)
            if (e.name == "ReTurnPreviewAllChannelState")
                return true;
        return false;
    };
    ASSERT_TRUE(QTest::qWaitFor(stateEvent, 5000));
    for (const FiredEvent& e : events) {
        if (e.name != "ReTurnPreviewAllChannelState")
            continue;
        EXPECT_EQ(e.args[0].integer, 2);
        EXPECT_EQ(e.args[1].integer, 0);
    }
}
