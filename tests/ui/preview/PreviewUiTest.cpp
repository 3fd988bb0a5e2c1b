// SPDX-License-Identifier: GPL-3.0-or-later
// The live preview driven as a user drives it: mouse and keys through the
// automation host's $input, against a recorder simulator, the page's events
// read from the host. The control is 642 x 482, so the four windows of the
// default layout are 320 x 240 with their centres at (161, 121), (481, 121),
// (161, 361) and (481, 361).
#include "HostProcess.h"
#include "RecorderProcess.h"

#include "platform/Profile.h"

#include <QColor>
#include <QDir>
#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QPoint kCentre[4] = {{161, 121}, {481, 121}, {161, 361}, {481, 361}};

class PreviewUi : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!RecorderProcess::available() || !HostProcess::available())
            return;
        s_recorder = std::make_unique<RecorderProcess>();
        if (!s_recorder->start(QStringLiteral("admin"), QStringLiteral("admin")))
            s_recorder.reset();
    }
    static void TearDownTestSuite() { s_recorder.reset(); }

    void SetUp() override
    {
        if (!s_recorder)
            GTEST_SKIP() << "no recorder simulator or host built";
        host = std::make_unique<HostProcess>(QStringList{QStringLiteral("--stdio"), QStringLiteral("--size"),
                                                         QStringLiteral("642x482")});
        ASSERT_TRUE(host->start());
        const QString login = resultOf(host->call(QStringLiteral("Login"),
                                                  QJsonArray{"127.0.0.1", s_recorder->devicePort(), "admin",
                                                             passwordText("admin")}))
                                  .toString();
        ASSERT_TRUE(login.startsWith(QStringLiteral("00000000_"))) << login.toStdString();
        deviceId = login.mid(9).toUInt();
        ASSERT_EQ(resultOf(host->call(QStringLiteral("SetChannelCnt"), QJsonArray{qint64(deviceId), 4})), QJsonValue(0));
    }

    void input(const QJsonObject& request) { EXPECT_TRUE(resultOf(host->call(QStringLiteral("$input"), request)).isNull()); }
    void mouse(const char* type, QPoint at, const char* button = "left")
    {
        input({{"type", type}, {"x", at.x()}, {"y", at.y()}, {"button", button}});
    }
    void key(const char* name) { input({{"type", "key"}, {"key", name}}); }

    QImage grab() { return host->grab(); }

    // The next ReTurnPreviewAllChannelState of a type; its ulOpen, or -1.
    qint64 channelState(int type, int timeoutMs = 10000)
    {
        const auto params = host->takeNotification(
            QStringLiteral("ReTurnPreviewAllChannelState"),
            [type](const QJsonObject& p) { return p.value(QLatin1String("ulType")).toInt() == type; }, timeoutMs);
        return params ? params->value(QLatin1String("ulOpen")).toInteger() : -1;
    }
    qint64 activeChannelEvent(int timeoutMs = 10000)
    {
        const auto params = host->takeNotification(QStringLiteral("ReTurnPreviewActiveChl"), {}, timeoutMs);
        return params ? params->value(QLatin1String("ulActiveChannel")).toInteger() : -1;
    }
    // Right click on a window, then choose a menu entry with the arrow keys
    // (each Down moves to the next enabled entry).
    void menu(int window, int downs)
    {
        mouse("click", kCentre[window], "right");
        for (int i = 0; i < downs; ++i)
            key("Down");
        key("Return");
    }

    static std::unique_ptr<RecorderProcess> s_recorder;
    std::unique_ptr<HostProcess> host;
    std::uint32_t deviceId = 0;
};

std::unique_ptr<RecorderProcess> PreviewUi::s_recorder;

const QColor kActiveFrame(22, 255, 22);
const QColor kInactiveFrame(67, 67, 67);

}  // namespace

TEST_F(PreviewUi, AClickSelectsAWindowAndThePageHearsOfItOnce)
{
    mouse("click", kCentre[2]);
    EXPECT_EQ(activeChannelEvent(), 2);
    EXPECT_EQ(resultOf(host->call(QStringLiteral("GetActiveChannel"), QJsonArray{qint64(deviceId)})), QJsonValue(2));
    // The selected window again: no event.
    mouse("click", kCentre[2]);
    EXPECT_EQ(activeChannelEvent(500), -1);
    // Its frame is drawn as the selected one.
    const QImage picture = grab();
    EXPECT_EQ(picture.pixelColor(1, 241), kActiveFrame);
    EXPECT_EQ(picture.pixelColor(1, 1), kInactiveFrame);
}

TEST_F(PreviewUi, TheContextMenuOpensAndClosesOneWindow)
{
    menu(1, 1);  // "Open window"
    EXPECT_EQ(channelState(0), 0x2);
    EXPECT_EQ(channelState(1), 0);
    menu(1, 1);  // now "Close window" is the first entry that is enabled
    EXPECT_EQ(channelState(0), 0);
}

TEST_F(PreviewUi, OpenAllAndCloseAllFromTheMenu)
{
    menu(0, 2);  // "Open all window"
    EXPECT_EQ(channelState(0, 20000), 0xF);
    menu(3, 2);  // "Close window", then "Close all window"
    EXPECT_EQ(channelState(0, 20000), 0);
}

TEST_F(PreviewUi, DoubleClickShowsOneWindowAndDoubleClickAgainComesBack)
{
    mouse("dblclick", kCentre[3]);
    QImage picture = grab();
    // Window 3, selected, fills the grid: its frame is at the grid's corner.
    EXPECT_EQ(picture.pixelColor(1, 1), kActiveFrame);
    EXPECT_EQ(picture.pixelColor(640, 480), kActiveFrame);
    mouse("dblclick", kCentre[0]);
    picture = grab();
    EXPECT_EQ(picture.pixelColor(1, 1), kInactiveFrame);
    EXPECT_EQ(picture.pixelColor(321, 241), kActiveFrame);
}

TEST_F(PreviewUi, DraggingSwapsTwoWindowsAndTheSettingsFileKeepsTheOrder)
{
    mouse("press", kCentre[0]);
    mouse("move", kCentre[0] + QPoint(40, 30));
    mouse("move", kCentre[3]);
    mouse("release", kCentre[3]);
    // Window 0 is now at the bottom right.
    mouse("click", kCentre[2]);
    EXPECT_EQ(activeChannelEvent(), 2);
    mouse("click", kCentre[3]);
    EXPECT_EQ(activeChannelEvent(), 0);

    const std::string ini = (host->homePath() + QStringLiteral("/VELK_Dvr/127.0.0.1_80_config.ini")).toStdString();
    EXPECT_EQ(platform::readProfileString(ini, "PreviewChannelOrder", "0"), "3");
    EXPECT_EQ(platform::readProfileString(ini, "PreviewChannelOrder", "3"), "0");
}

TEST_F(PreviewUi, FullScreenTakesInputAndAKeyEndsIt)
{
    host->call(QStringLiteral("ShowChannels"), QJsonArray{0});
    mouse("click", kCentre[1]);
    EXPECT_EQ(activeChannelEvent(), 1);
    key("Escape");
    mouse("click", kCentre[2]);
    EXPECT_EQ(activeChannelEvent(), 2);
    // A second toggle enters full screen again, and the host still ends cleanly.
    host->call(QStringLiteral("ShowChannels"), QJsonArray{0});
    EXPECT_EQ(host->closeInputAndWait(), 0);
}
