// SPDX-License-Identifier: GPL-3.0-or-later
// Login, Logout, the local settings and the folder picker.
#include "ControlFixture.h"
#include "device/DeviceSession.h"
#include "device/SessionSettings.h"
#include "platform/Profile.h"
#include "platform/Text.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

using SessionMethods = ControlFixture;

TEST_F(SessionMethods, LoginListsTheSessionAndMakesItCurrent)
{
    control->SetClientID(77);
    control->SetWebport(8080);
    const QString result = control->Login(QStringLiteral("10.1.2.3"), 9000, QStringLiteral("admin"), QString());
    ASSERT_TRUE(result.startsWith(QStringLiteral("00000000_"))) << result.toStdString();
    const std::uint32_t id = result.mid(9).toUInt();
    DeviceSession* session = CDeviceManage::instance().find(id);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(control->currentSession(), session);
    EXPECT_EQ(session->webPort(), 8080u);
    EXPECT_EQ(control->previewPanel().notifyWindow(), control->handle());
    EXPECT_EQ(control->previewPanel().deviceAddress(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(control->playbackPanel().deviceHandle(), session->deviceHandle());

    const auto logins = fake_tovr::commands("LOGIN");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_NE(logins[0].find("\"CLIENTID\":77"), std::string::npos);
    // The folder of this recorder's settings file now exists; the file itself
    // appears with the first setting written.
    const QString ini = SessionSettings::filePathFor(QStringLiteral("10.1.2.3"), 8080);
    EXPECT_TRUE(ini.endsWith(QStringLiteral("/VELK_Dvr/10.1.2.3_8080_config.ini"))) << ini.toStdString();
    EXPECT_TRUE(QFileInfo(ini).dir().exists());
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("save_alarm"), QStringLiteral("1"), QStringLiteral("set")),
              QStringLiteral("succeed"));
    EXPECT_TRUE(QFileInfo::exists(ini));
}

TEST_F(SessionMethods, FailedLoginsReportTheirCodeAndLeaveNoCurrentSession)
{
    const std::uint32_t first = login();
    ASSERT_NE(first, 0u);

    fake_tovr::setLoginAnswer(TOVR_ERR_DEVICE, 0, 0x2A);
    EXPECT_EQ(control->Login(QStringLiteral("10.0.0.9"), 9000, QStringLiteral("a"), QString()),
              QStringLiteral("0000002a_0"));
    EXPECT_EQ(control->currentSession(), nullptr);
    EXPECT_TRUE(CDeviceManage::instance().contains(first));  // still listed
    EXPECT_EQ(CDeviceManage::instance().size(), 1u);

    fake_tovr::setLoginAnswer(TOVR_ERR_UNREACHABLE, 0, 0);
    EXPECT_EQ(control->Login(QStringLiteral("10.0.0.9"), 9000, QStringLiteral("a"), QString()),
              QStringLiteral("00000003_0"));
    fake_tovr::setLoginAnswer(TOVR_ERR_TIMEOUT, 0, 0);
    EXPECT_EQ(control->Login(QStringLiteral("10.0.0.9"), 9000, QStringLiteral("a"), QString()),
              QStringLiteral("00000008_0"));
    EXPECT_EQ(CDeviceManage::instance().size(), 1u);
}

TEST_F(SessionMethods, LogoutRemovesTheSessionWhateverTheRecorderSays)
{
    EXPECT_EQ(control->Logout(12345), 0xFFFFFFFEu);
    EXPECT_TRUE(fake_tovr::commands("LOGOUT").empty());

    const std::uint32_t id = login();
    ASSERT_EQ(control->InitOverlay(id, 0, 0, 0, 704, 576), 0u);
    EXPECT_EQ(control->Logout(id), 0u);
    EXPECT_EQ(fake_tovr::commands("LOGOUT").size(), 1u);
    EXPECT_FALSE(CDeviceManage::instance().contains(id));
    EXPECT_EQ(control->currentSession(), nullptr);
    EXPECT_FALSE(control->overlayWindow().isEditing());
    EXPECT_EQ(control->previewPanel().session(), nullptr);
    EXPECT_EQ(control->Logout(id), 0xFFFFFFFEu);
}

TEST_F(SessionMethods, LogoutOfAnotherSessionKeepsTheCurrentOne)
{
    const std::uint32_t first = login(QStringLiteral("10.0.0.1"));
    const std::uint32_t second = login(QStringLiteral("10.0.0.2"));
    EXPECT_EQ(control->Logout(first), 0u);
    EXPECT_EQ(control->currentSession(), CDeviceManage::instance().find(second));
}

TEST_F(SessionMethods, SetLocalParameterCodesAndTheFileItWrites)
{
    const std::uint32_t id = login(QStringLiteral("192.168.1.20"));
    ASSERT_NE(id, 0u);
    const QString ini = SessionSettings::filePathFor(QStringLiteral("192.168.1.20"), 80);

    EXPECT_EQ(control->SetLocalParameter(4242, QStringLiteral("snap_path"), QString(), QStringLiteral("get")),
              QStringLiteral("faile 1"));
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("Snap_Path"), QString(), QStringLiteral("get")),
              QStringLiteral("faile 2"));
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("record_pack_time"), QString(), QStringLiteral("get")),
              QStringLiteral("30"));
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("save_alarm"), QStringLiteral("1"),
                                         QStringLiteral("delete")),
              QStringLiteral("faile 4"));
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("save_alarm"), QString(), QStringLiteral("get")),
              QStringLiteral("0"));

    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("snap_path"), QStringLiteral("D:\\pics\\"),
                                         QStringLiteral("set")),
              QStringLiteral("succeed"));
    EXPECT_EQ(control->playbackPanel().snapFolder(), QStringLiteral("D:\\pics\\"));
    EXPECT_EQ(platform::readProfileString(platform::toUtf8(ini), "VELK_Dvr", "snap_path"), "D:\\pics\\");
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("snap_path"), QString(), QStringLiteral("get")),
              QStringLiteral("D:\\pics\\"));

    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("record_path"), QStringLiteral("/tmp/rec/"),
                                         QStringLiteral("set")),
              QStringLiteral("succeed"));
    EXPECT_EQ(control->previewPanel().recordFolder(), QStringLiteral("/tmp/rec/"));

    // A value that cannot be stored is not reported as stored, and no panel takes it.
    EXPECT_EQ(control->SetLocalParameter(id, QStringLiteral("snap_path"), QStringLiteral("/a\nb/"),
                                         QStringLiteral("set")),
              QStringLiteral("faile 3"));
    EXPECT_EQ(control->playbackPanel().snapFolder(), QStringLiteral("D:\\pics\\"));

    // Another login to the same recorder reads the value back.
    control->Logout(id);
    const std::uint32_t again = login(QStringLiteral("192.168.1.20"));
    EXPECT_EQ(control->SetLocalParameter(again, QStringLiteral("snap_path"), QString(), QStringLiteral("get")),
              QStringLiteral("D:\\pics\\"));
}

TEST_F(SessionMethods, FoldersThatCannotBeUsedAreRefusedOrFailVisibly)
{
    const std::uint32_t id = login(QStringLiteral("192.168.1.20"));
    ASSERT_NE(id, 0u);
    const auto set = [&](const char* key, const QString& value) {
        return control->SetLocalParameter(id, QString::fromLatin1(key), value, QStringLiteral("set"));
    };
    const auto get = [&](const char* key) {
        return control->SetLocalParameter(id, QString::fromLatin1(key), QString(), QStringLiteral("get"));
    };
    constexpr std::uint32_t kNotCreated = 0x8002001fu;
    constexpr std::uint32_t kNoPicture = 0x80020002u;
    QTemporaryDir dir;
    const QString good = dir.path() + QStringLiteral("/rec/");
    ASSERT_EQ(set("record_path", good), QStringLiteral("succeed"));

    // Longer than the setting holds: refused, as a cut folder would be another one.
    const QString tooLong = dir.path() + QLatin1Char('/') + QString(318 - dir.path().size() - 1, QLatin1Char('r'));
    ASSERT_EQ(tooLong.size(), 318);
    EXPECT_EQ(set("record_path", tooLong), QStringLiteral("faile 3"));
    EXPECT_EQ(set("snap_path", tooLong), QStringLiteral("faile 3"));
    EXPECT_EQ(get("record_path"), good);
    EXPECT_EQ(control->previewPanel().recordFolder(), good);
    EXPECT_EQ(control->StartRecord(id, 0, QString()), 0u) << "the folder set before still records";

    // Stored as the page gave them, but nothing is recorded or saved.
    for (const QString& unusable : {QStringLiteral("D:\\rec\\"), QStringLiteral("rec/"),
                                    QStringLiteral("\\\\server\\share\\x"), good + QStringLiteral("../x/")}) {
        SCOPED_TRACE(unusable.toStdString());
        ASSERT_EQ(set("record_path", unusable), QStringLiteral("succeed"));
        ASSERT_EQ(set("snap_path", unusable), QStringLiteral("succeed"));
        EXPECT_EQ(control->StartRecord(id, 0, QString()), kNotCreated);
        EXPECT_EQ(control->CaptureImage(id), kNotCreated);
    }

    // A folder that works, with nothing playing: no snapshot, said so.
    ASSERT_EQ(set("snap_path", dir.path() + QStringLiteral("/snaps/")), QStringLiteral("succeed"));
    EXPECT_EQ(control->CaptureImage(id), kNoPicture);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{})
        << "nothing was created for any of them";
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/server/share")));
}

TEST_F(SessionMethods, GetFolderPathReturnsThePickedFolderOrNothing)
{
#if defined(__SANITIZE_THREAD__)
    // Qt's dialog reads the file system on a thread of its own, inside Qt
    // libraries that are not built for the thread sanitizer.
    GTEST_SKIP() << "Qt's folder dialog is not instrumented for the thread sanitizer";
#endif
    const std::uint32_t id = login();
    QTemporaryDir picked;
    // The dialog runs its own event loop; answer it from that loop.
    auto answer = [&picked](bool accept) {
        QTimer::singleShot(50, [&picked, accept] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (accept) {
                // Typed into the dialog's name field, as a user would.
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                ASSERT_NE(name, nullptr);
                name->setText(picked.path());
                QMetaObject::invokeMethod(dialog, "accept");
            } else {
                dialog->reject();
            }
        });
    };
    answer(false);
    EXPECT_EQ(control->GetFolderPath(id), QString());
    answer(true);
    EXPECT_EQ(control->GetFolderPath(id), QDir(picked.path()).absolutePath() + QLatin1Char('/'));
}
