// SPDX-License-Identifier: GPL-3.0-or-later
// The control's window: panels, page switching, drawing, and the private
// messages it turns into events.
#include "ControlFixture.h"
#include "control/BackupText.h"
#include "device/AlarmMailbox.h"
#include "device/DeviceCallback.h"
#include "device/DeviceSession.h"
#include "TOVR.h"
#include "platform/Debug.h"
#include "platform/Messages.h"
#include "playback/BackupProgress.h"

#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <thread>

using namespace platform;

using ControlWindow = ControlFixture;

TEST_F(ControlWindow, CreatesFourPanelsOverTheClientAreaWithThePreviewShown)
{
    EXPECT_EQ(control->playbackPanel().controlId(), 204);
    EXPECT_EQ(control->previewPanel().controlId(), 292);
    EXPECT_EQ(control->overlayWindow().controlId(), 205);
    EXPECT_EQ(control->scheduleWindow().controlId(), 206);
    EXPECT_EQ(control->previewPanel().geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(control->scheduleWindow().geometry(), QRect(0, 0, 640, 480));
    EXPECT_TRUE(control->previewPanel().isVisible());
    EXPECT_FALSE(control->playbackPanel().isVisible());
    EXPECT_FALSE(control->overlayWindow().isVisible());
    EXPECT_FALSE(control->scheduleWindow().isVisible());

    control->resize(800, 600);
    EXPECT_EQ(control->overlayWindow().geometry(), QRect(0, 0, 800, 600));
}

TEST_F(ControlWindow, SwitchPageShowsOnePanel)
{
    EXPECT_EQ(control->SwitchPage(3), 0u);
    EXPECT_TRUE(control->playbackPanel().isVisible());
    EXPECT_FALSE(control->previewPanel().isVisible());
    EXPECT_EQ(control->currentPage(), 3);

    control->InitOverlay(0, 0, 0, 0, 0, 0);  // unlisted: nothing starts
    control->SwitchPage(1);
    EXPECT_TRUE(control->overlayWindow().isVisible());
    EXPECT_FALSE(control->playbackPanel().isVisible());

    control->SwitchPage(2);
    EXPECT_TRUE(control->scheduleWindow().isVisible());
    EXPECT_FALSE(control->overlayWindow().isVisible());

    // An unknown page changes nothing but is recorded; 0 then shows the preview.
    control->SwitchPage(7);
    EXPECT_EQ(control->currentPage(), 7);
    EXPECT_TRUE(control->scheduleWindow().isVisible());
    control->SwitchPage(0);
    EXPECT_TRUE(control->previewPanel().isVisible());
    EXPECT_FALSE(control->scheduleWindow().isVisible());
    control->playbackPanel().waitForStopWorkers();
}

TEST_F(ControlWindow, SwitchPageEndsOverlayEditingWhenLeavingIt)
{
    const std::uint32_t id = login();
    control->SwitchPage(1);
    ASSERT_EQ(control->InitOverlay(id, 0, 0, 0, 704, 576), 0u);
    control->SwitchPage(1);  // same page: nothing
    EXPECT_TRUE(control->overlayWindow().isEditing());
    control->SwitchPage(3);
    EXPECT_FALSE(control->overlayWindow().isEditing());
}

TEST_F(ControlWindow, SwitchPageBeforeTheWindowExistsOnlyRecordsThePage)
{
    auto early = makeControl(false);
    EXPECT_EQ(early->SwitchPage(1), 0u);
    EXPECT_EQ(early->currentPage(), 1);
    EXPECT_FALSE(early->overlayWindow().isCreated());
    early->createWindow(nullptr, QRect(0, 0, 320, 240), 0, true);
    early->SwitchPage(1);  // already the current page: no-op
    EXPECT_TRUE(early->previewPanel().isVisible());
    EXPECT_FALSE(early->overlayWindow().isVisible());
}

TEST_F(ControlWindow, DrawsWhiteWithAnInscribedEllipseWhereNoPanelCovers)
{
    control->previewPanel().hide();
    const QImage picture = control->grab().toImage();
    EXPECT_EQ(picture.pixelColor(2, 2), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(320, 240), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(0, 240), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(320, 0), QColor(Qt::black));
}

TEST_F(ControlWindow, PrivateMessagesBecomeEvents)
{
    takeDebugLines();
    postMessage(control->handle(), WM_CHANNEL_CLICK, 5, 0);
    postMessage(control->handle(), WM_CHANNEL_RECORD_STATE, 0x3, 0);
    postMessage(control->handle(), WM_CHANNEL_VIEW_STATE, 0xF, 0);
    postMessage(control->handle(), WM_DEVICE_STATE_CHANGED, 0, 0);
    postMessage(control->handle(), WM_STREAMTYPE_CHANGED, 1, 0);
    const char alarm[] = "motion";
    sendMessage(control->handle(), WM_ALARM_1, reinterpret_cast<WPARAM>(alarm), 6);
    processEvents();

    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].name, "UploadAlarm");  // the sent one is handled at once
    EXPECT_EQ(events[0].args[0].integer, 1);
    EXPECT_EQ(events[0].args[1].text, QStringLiteral("motion"));
    EXPECT_EQ(events[0].args[2].integer, 6);
    EXPECT_EQ(events[1].name, "ReTurnPreviewActiveChl");
    EXPECT_EQ(events[1].args[0].integer, 5);
    const std::vector<std::pair<std::int64_t, std::int64_t>> states = {{1, 3}, {0, 15}, {2, 0}, {3, 1}};
    for (std::size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(events[i + 2].name, "ReTurnPreviewAllChannelState");
        EXPECT_EQ(events[i + 2].args[0].integer, states[i].first);
        EXPECT_EQ(events[i + 2].args[1].integer, states[i].second);
    }
    const auto lines = takeDebugLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), " &&&& pang WM_STREAMTYPE_CHANGED \n"), lines.end());
}

TEST_F(ControlWindow, RecorderAlarmsReachThePageAsUploadAlarmWithTheirContent)
{
    // The network library reports alarms on its own thread through the
    // device callback: raised motion, raised input, over; and kinds it
    // does not know count as input-like alarms.
    DeviceSession session;
    session.setControlWindow(control->handle());
    std::thread library([&] {
        DeviceCallback(TOVR_DEVICE_NOTIFY_ALARM, session.id(), 3, TOVR_ALARM_MOTION, 1);
        DeviceCallback(TOVR_DEVICE_NOTIFY_ALARM, session.id(), 15, TOVR_ALARM_INPUT, 1);
        DeviceCallback(TOVR_DEVICE_NOTIFY_ALARM, session.id(), 3, TOVR_ALARM_MOTION, 0);
        DeviceCallback(TOVR_DEVICE_NOTIFY_ALARM, session.id(), 0, 77, 1);
    });
    library.join();
    EXPECT_TRUE(events.empty()) << "posted, not sent from the library's thread";
    processEvents();

    ASSERT_EQ(events.size(), 4u);
    const struct {
        std::int64_t type;
        const char* content;
    } expected[] = {{1, R"({"active":true,"channel":3,"kind":"motion","time":")"},
                    {0, R"({"active":true,"channel":15,"kind":"input","time":")"},
                    {2, R"({"active":false,"channel":3,"kind":"motion","time":")"},
                    {0, R"({"active":true,"channel":0,"kind":"other","time":")"}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(events[i].name, "UploadAlarm");
        EXPECT_EQ(events[i].args[0].integer, expected[i].type);
        const QString content = events[i].args[1].text;
        EXPECT_TRUE(content.startsWith(QString::fromUtf8(expected[i].content))) << qPrintable(content);
        EXPECT_TRUE(QRegularExpression(QStringLiteral(R"("time":"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"}$)"))
                        .match(content)
                        .hasMatch())
            << qPrintable(content);
        EXPECT_EQ(events[i].args[2].integer, content.toUtf8().size());
    }
}

TEST(AlarmMailbox, AWindowThatDoesNotTakeItsAlarmsHoldsOnlyTheNewestAndAGoneOneNone)
{
    const platform::WindowHandle window = 0x7ff1;
    for (std::uint32_t i = 0; i < kMaxWaitingAlarms + 10; ++i)
        leaveAlarm(window, DeviceAlarm{i, TOVR_ALARM_INPUT, true, "2026-12-08 10:00:00"});
    leaveAlarm(0, DeviceAlarm{});  // no window: nothing kept
    const std::vector<DeviceAlarm> taken = takeAlarms(window);
    ASSERT_EQ(taken.size(), kMaxWaitingAlarms);
    EXPECT_EQ(taken.front().channel, 10u);
    EXPECT_EQ(taken.back().channel, kMaxWaitingAlarms + 9);
    EXPECT_TRUE(takeAlarms(window).empty());
    EXPECT_TRUE(takeAlarms(0).empty());

    leaveAlarm(window, DeviceAlarm{1, TOVR_ALARM_MOTION, false, ""});
    dropAlarms(window);
    EXPECT_TRUE(takeAlarms(window).empty());
}

TEST_F(ControlWindow, BackupNotificationsCarryFlagSizesAndPercent)
{
    const char key[] = "clip-1";
    BackupProgress progress{2048, 512};
    for (std::uint32_t msg = WM_BACKUP_NOTIFY; msg <= WM_BACKUP_NOTIFY_LAST; ++msg)
        sendMessage(control->handle(), msg, reinterpret_cast<WPARAM>(key), reinterpret_cast<LPARAM>(&progress));
    ASSERT_EQ(events.size(), 6u);
    for (std::uint32_t flag = 0; flag < 6; ++flag) {
        const FiredEvent& e = events[flag];
        EXPECT_EQ(e.name, "UploadBackupProcess");
        EXPECT_EQ(e.args[0].text, QStringLiteral("clip-1"));
        EXPECT_EQ(e.args[1].integer, flag);
        EXPECT_EQ(e.args[2].uint64, 2048u);
        EXPECT_EQ(e.args[3].uint64, 512u);
        EXPECT_EQ(e.args[4].text, QStringLiteral("25.00"));
    }

    events.clear();
    BackupProgress empty{0, 0};
    sendMessage(control->handle(), WM_BACKUP_NOTIFY, reinterpret_cast<WPARAM>(key), reinterpret_cast<LPARAM>(&empty));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].args[4].text, QStringLiteral("0.00"));

    events.clear();
    sendMessage(control->handle(), WM_BACKUP_NOTIFY, reinterpret_cast<WPARAM>(key), 0);
    EXPECT_TRUE(events.empty());  // no progress record: no event
}

TEST(BackupText, PercentAndTimes)
{
    EXPECT_EQ(backupPercentText(3, 1), QStringLiteral("33.33"));
    EXPECT_EQ(backupPercentText(3, 2), QStringLiteral("66.67"));
    EXPECT_EQ(backupPercentText(1, 1), QStringLiteral("100.00"));
    EXPECT_EQ(backupPercentText(0x200000000ull, 0x100000000ull), QStringLiteral("50.00"));
    EXPECT_EQ(backupTimeDigits(QStringLiteral(" 2020-03-01 08:00:00\t")), QStringLiteral("20200301080000"));
    EXPECT_FALSE(backupTimeDigits(QStringLiteral("2020-03-01 08:00")));
    EXPECT_FALSE(backupTimeDigits(QStringLiteral("2020/03/01 08:00:00")));
}

// Records the size messages the control's window receives.
class SizeRecordingControl : public CVELK_DVRCtrl {
public:
    LRESULT windowProc(std::uint32_t msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_SIZE)
            sizes.emplace_back(wParam, lParam);
        return CVELK_DVRCtrl::windowProc(msg, wParam, lParam);
    }
    std::vector<std::pair<WPARAM, LPARAM>> sizes;
};

TEST_F(ControlWindow, RePlaceAndSetSizeSendSizeMessages)
{
    SizeRecordingControl recording;
    recording.createWindow(nullptr, QRect(0, 0, 300, 200), 0, true);
    recording.RePlace(0, -1, 5);
    EXPECT_TRUE(recording.sizes.empty());  // posted, not yet handled
    processEvents();
    ASSERT_EQ(recording.sizes.size(), 1u);
    EXPECT_EQ(recording.sizes[0].first, 0xFFFFFFFFu);
    EXPECT_EQ(recording.sizes[0].second, 5);

    recording.SetSize(1000, 700);  // sent: handled at once
    ASSERT_EQ(recording.sizes.size(), 2u);
    EXPECT_EQ(recording.sizes[1].first, 1000u);
    EXPECT_EQ(recording.previewPanel().geometry(), QRect(0, 0, 300, 200));
}

TEST_F(ControlWindow, DeviceNotificationFromALibraryThreadReachesThePage)
{
    const std::uint32_t id = login();
    ASSERT_NE(id, 0u);
    const TOVR_DeviceCallback callback = fake_tovr::lastDeviceCallback();
    ASSERT_NE(callback, nullptr);
    std::thread library([callback, id] {
        callback(3, id, 0, 0, 0);  // ignored
        callback(8, id, 0, 0, 0);
    });
    library.join();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !events.empty(); }, 2000));
    processEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, "ReTurnPreviewAllChannelState");
    EXPECT_EQ(events[0].args[0].integer, 2);
    EXPECT_EQ(events[0].args[1].integer, 0);
}

TEST_F(ControlWindow, DestructionLogsOutAndRemovesOnlyTheCurrentSession)
{
    const std::uint32_t first = login(QStringLiteral("10.0.0.1"));
    const std::uint32_t second = login(QStringLiteral("10.0.0.2"));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ASSERT_EQ(control->currentSession(), CDeviceManage::instance().find(second));
    const std::uint32_t secondHandle = CDeviceManage::instance().find(second)->deviceHandle();

    control->destroyWindow();
    const auto logouts = fake_tovr::commands("LOGOUT");
    ASSERT_EQ(logouts.size(), 1u);
    EXPECT_NE(logouts[0].find("\"HDEV\":" + std::to_string(secondHandle)), std::string::npos);
    EXPECT_EQ(control->currentSession(), nullptr);
    EXPECT_FALSE(CDeviceManage::instance().contains(second));
    ASSERT_TRUE(CDeviceManage::instance().contains(first));

    // The control goes; the session it left listed no longer reaches its panels.
    control.reset();
    DeviceSession* left = CDeviceManage::instance().find(first);
    EXPECT_EQ(left->previewPanel(), nullptr);
    EXPECT_EQ(left->playbackPanel(), nullptr);
    EXPECT_EQ(left->logout(), 1);
}
