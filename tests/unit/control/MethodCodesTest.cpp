// SPDX-License-Identifier: GPL-3.0-or-later
// The codes every method returns for an unlisted device id and for bad
// arguments.
#include "ControlFixture.h"
#include "device/DeviceSession.h"

#include <map>

namespace {

constexpr std::uint32_t kUnlisted = 4242;
constexpr std::uint32_t kMalformed = 0x80060000u;

// Arguments for a method: the unlisted id first where it takes a device id,
// then plausible values.
std::vector<Variant> argumentsFor(const MethodInfo& method)
{
    std::vector<Variant> args;
    for (std::size_t i = 0; i < method.args.size(); ++i) {
        const ArgInfo& arg = method.args[i];
        const QString name = QString::fromLatin1(arg.name).toLower();
        switch (arg.type) {
        case VarType::BSTR: args.push_back(Variant::bstr(QStringLiteral("2020-03-01 08:00:00"))); break;
        case VarType::UI4: args.push_back(Variant::ui4(name.contains(QLatin1String("devid")) ? kUnlisted : 1)); break;
        case VarType::I4: args.push_back(Variant::i4(1)); break;
        case VarType::UI2: args.push_back(Variant::ui2(1)); break;
        case VarType::I2: args.push_back(Variant::i2(1)); break;
        default: args.push_back(Variant::empty()); break;
        }
    }
    return args;
}

}  // namespace

using MethodCodes = ControlFixture;

TEST_F(MethodCodes, UnlistedDeviceIds)
{
    const std::map<QString, Variant> expected = {
        {"StartView", Variant::ui4(0xFFFFFFFFu)},
        {"StopView", Variant::ui4(0xFFFFFFFEu)},
        {"StartRecord", Variant::ui4(1)},
        {"StopRecord", Variant::ui4(1)},
        {"CaptureImage", Variant::ui4(1)},
        {"SetPreviewSoundState", Variant::ui4(1)},
        {"SetVolume", Variant::ui4(1)},
        {"SetLocalParameter", Variant::bstr("faile 1")},
        {"SetRecordPeriod", Variant::ui4(1)},
        {"Logout", Variant::ui4(0xFFFFFFFEu)},
        {"StartBackup", Variant::ui4(1)},
        {"StopBackup", Variant::ui4(1)},
        {"StopPlayback", Variant::ui4(1)},
        {"GetFolderPath", Variant::bstr("faile")},
        {"InitOverlay", Variant::ui4(1)},
        {"SetOverlayMDInitData", Variant::bstr("1")},
        {"SetOverlayOsdInitData", Variant::bstr("1")},
        {"SetOverlayShelterInitData", Variant::bstr("1")},
        {"GetOverlayMDData", Variant::bstr("faile 1")},
        {"GetShelterData", Variant::bstr("faile 1")},
        {"GetOsdOverlayData", Variant::bstr("faile 1")},
        {"StartViewAll", Variant::ui4(1)},
        {"StopPreviewAll", Variant::ui4(1)},
        {"GetVolume", Variant::ui4(1000)},
        {"GetActiveChannel", Variant::i4(-2)},
        {"SetChannelCnt", Variant::i4(1)},
        {"SetPlaybackDate", Variant::ui4(1)},
        {"CompleteSetRecordPeriod", Variant::ui4(1)},
        {"SwitchPreviewStreamType", Variant::ui4(1)},
        {"AllowPlaybackRecordTypeToPlay", Variant::ui4(1)},
        {"SetRecSchedule", Variant::ui4(1)},
        {"GetRecSchedule", Variant::bstr("")},
        {"SetScheduleMode", Variant::ui4(1)},
        {"SelectSchedelBtnType", Variant::ui4(1)},
    };
    for (const auto& [name, want] : expected) {
        const MethodInfo* method = findMethod(name);
        ASSERT_NE(method, nullptr) << name.toStdString();
        const Variant got = invokeMethod(*control, *method, argumentsFor(*method));
        EXPECT_EQ(got.type, want.type) << name.toStdString();
        EXPECT_EQ(got.integer, want.integer) << name.toStdString();
        EXPECT_EQ(got.text, want.text) << name.toStdString();
    }
    EXPECT_EQ(CDeviceManage::instance().size(), 0u);
}

TEST_F(MethodCodes, PreviewArguments)
{
    const std::uint32_t id = login();
    ASSERT_NE(id, 0u);
    DeviceSession* session = CDeviceManage::instance().find(id);

    EXPECT_EQ(control->StartViewAll(id, 4, 3), 1u);
    EXPECT_EQ(control->StartViewAll(id, 8, 2), 0u);
    EXPECT_EQ(session->channelCount(), 8);
    EXPECT_EQ(control->previewPanel().streamType(), 2u);

    EXPECT_EQ(control->SetChannelCnt(id, 0), static_cast<std::int32_t>(kMalformed));
    EXPECT_EQ(control->SetChannelCnt(id, 17), static_cast<std::int32_t>(kMalformed));
    EXPECT_EQ(control->SetChannelCnt(id, 5), 0);
    EXPECT_EQ(control->previewPanel().layoutCount(), 16);
    EXPECT_EQ(session->channelCount(), 5);
    EXPECT_EQ(control->previewPanel().channelCount(), 5);
    EXPECT_EQ(control->SetChannelCnt(id, 9), 0);
    EXPECT_EQ(control->previewPanel().layoutCount(), 9);

    control->ShowChannels(7);
    EXPECT_EQ(control->previewPanel().layoutCount(), 1);
    control->ShowChannels(17);
    EXPECT_EQ(control->previewPanel().layoutCount(), 1);
    control->ShowChannels(0);
    EXPECT_TRUE(control->previewPanel().isFullScreen());

    EXPECT_EQ(control->StartView(id, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(control->StopView(id, 0), 0u);
    EXPECT_EQ(control->GetVolume(id), 50u);
    EXPECT_EQ(control->SetVolume(id, 0, 70), 0u);
    EXPECT_EQ(control->GetVolume(id), 70u);
    EXPECT_EQ(control->previewPanel().volume(), 70u);
    // Window 0 is the active one from creation, and it serves slot 0.
    EXPECT_EQ(control->GetActiveChannel(id), 0);
    EXPECT_EQ(control->SetPreviewSoundState(id, 0), 0u);
    EXPECT_FALSE(control->previewPanel().soundEnabled());
    control->SetPreviewVideoShapeMode(5);
    EXPECT_EQ(control->previewPanel().shapeMode(), 0);
    control->SetPreviewVideoShapeMode(1);
    EXPECT_EQ(control->previewPanel().shapeMode(), 1);
}

TEST_F(MethodCodes, PlaybackAndBackupArguments)
{
    const std::uint32_t id = login();
    ASSERT_NE(id, 0u);
    CPlayBackPanel& playback = control->playbackPanel();

    EXPECT_EQ(control->SetPlaybackDate(id, QStringLiteral("2020-3-1")), 2u);
    EXPECT_EQ(control->SetPlaybackDate(id, QStringLiteral("2020-03-01")), 0u);
    EXPECT_EQ(playback.playDate(), QStringLiteral("2020-03-01"));

    const QString start = QStringLiteral(" 2020-03-01 08:00:00 ");
    const QString end = QStringLiteral("2020-03-01 09:30:00");
    EXPECT_EQ(control->SetRecordPeriod(id, QStringLiteral("2020-03-01 08:00"), end, 0, 1, 0), kMalformed);
    EXPECT_EQ(control->SetRecordPeriod(id, start, end, 17, 1, 0), kMalformed);
    EXPECT_EQ(control->SetRecordPeriod(id, start, QString(), 0, 1, 0), kMalformed);
    EXPECT_TRUE(playback.recordSpans().empty());
    EXPECT_EQ(control->SetRecordPeriod(id, start, end, 16, 1, 0), 0u);
    ASSERT_EQ(playback.recordSpans().size(), 1u);
    EXPECT_EQ(playback.recordSpans()[0].start, start);  // untrimmed
    EXPECT_EQ(control->CompleteSetRecordPeriod(id), 0u);
    EXPECT_TRUE(playback.spansComplete());

    control->SetPlayBackChannels(0x10000);
    EXPECT_EQ(playback.channelMask(), 1u);
    control->SetPlayBackChannels(0xFFFF);
    EXPECT_EQ(playback.channelMask(), 0xFFFFu);
    EXPECT_EQ(control->AllowPlaybackRecordTypeToPlay(id, 7), 0u);
    EXPECT_EQ(playback.recordType(), 2u);
    EXPECT_EQ(control->AllowPlaybackRecordTypeToPlay(id, 1), 0u);
    EXPECT_EQ(playback.recordType(), 1u);

    EXPECT_EQ(control->StopPlayback(id), 0u);
    playback.waitForStopWorkers();
    EXPECT_EQ(playback.playState(), CPlayBackPanel::kStopped);

    EXPECT_EQ(control->StartBackup(id, QStringLiteral("F"), QStringLiteral("0"), QStringLiteral("2020-03-01 08:00"),
                                   end, QStringLiteral("k")),
              kMalformed);
    EXPECT_EQ(control->StartBackup(id, QStringLiteral("F"), QStringLiteral("0"),
                                   QStringLiteral("2020-03-01T08:00:00"), end, QStringLiteral("k")),
              kMalformed);
    EXPECT_EQ(control->StopBackup(id, QStringLiteral("k")), 8u);
}

TEST_F(MethodCodes, ScheduleAndOverlayArguments)
{
    const std::uint32_t id = login();
    ASSERT_NE(id, 0u);

    EXPECT_EQ(control->SetScheduleMode(id, 2), 2u);
    EXPECT_EQ(control->SetScheduleMode(id, 1), 0u);
    EXPECT_EQ(control->scheduleWindow().mode(), 1);
    EXPECT_EQ(control->SetRecSchedule(id, 3, 0, QStringLiteral("[]")), 1u);
    EXPECT_EQ(control->SelectSchedelBtnType(id, 2), 0u);
    EXPECT_EQ(control->scheduleWindow().paintType(), 2);

    EXPECT_EQ(control->InitOverlay(id, 17, 0, 0, 704, 576), 2u);
    EXPECT_EQ(control->InitOverlay(id, -1, 0, 0, 704, 576), 2u);
    EXPECT_EQ(control->InitOverlay(id, 0, 3, 0, 704, 576), 3u);
    EXPECT_EQ(control->InitOverlay(id, 0, 0, 3, 704, 576), 4u);
    EXPECT_FALSE(control->overlayWindow().isEditing());
    EXPECT_EQ(control->InitOverlay(id, 16, 1, 2, 352, 288), 0u);
    EXPECT_TRUE(control->overlayWindow().isEditing());
    EXPECT_EQ(control->overlayWindow().mode(), 1);
    // Editing in progress: a second start changes nothing.
    EXPECT_EQ(control->InitOverlay(id, 3, 0, 0, 704, 576), 0u);
    EXPECT_EQ(control->overlayWindow().channel(), 16);

    EXPECT_EQ(control->SetOverlayMDInitData(id, QString(63, '0'), 0), QStringLiteral("2"));
    EXPECT_EQ(control->SetOverlayMDInitData(id, QString(63, '0') + QLatin1Char('x'), 0), QStringLiteral("3"));
    EXPECT_EQ(control->SetOverlayMDInitData(id, QStringLiteral("01") + QString(62, '0'), 0), QString());
    EXPECT_EQ(control->GetOverlayMDData(id), QStringLiteral("01") + QString(62, '0'));

    EXPECT_EQ(control->SetOverlayOsdInitData(id, 3, 0, QStringLiteral("t"), 1, 704, 576, 8, 8), QStringLiteral("2"));
    EXPECT_EQ(control->SetOverlayOsdInitData(id, 0, 0, QStringLiteral("t"), 2, 704, 576, 8, 8), QStringLiteral("5"));
    EXPECT_EQ(control->SetOverlayOsdInitData(id, 2, 0, QStringLiteral("t"), 1, 704, 576, 8, 8), QString());
    EXPECT_EQ(control->GetOsdOverlayData(id, 3), QStringLiteral("faile 2"));

    EXPECT_EQ(control->SetOverlayShelterInitData(id, 5, 0, 0, 10, 10, 704, 576), QStringLiteral("2"));
    EXPECT_EQ(control->SetOverlayShelterInitData(id, 0, 0, 0, 10, 65536, 704, 576), QStringLiteral("3"));
    EXPECT_EQ(control->SetOverlayShelterInitData(id, 0, 20, 0, 10, 10, 704, 576), QStringLiteral("3"));
    EXPECT_EQ(control->SetOverlayShelterInitData(id, 0, 0, 20, 10, 10, 704, 576), QStringLiteral("3"));
    EXPECT_EQ(control->SetOverlayShelterInitData(id, 4, 0, 1, 10, 65535, 704, 576), QString());
    EXPECT_EQ(control->overlayWindow().model().masks().size(), 1u);

    control->SetOSD_AlignPixels(4);
    EXPECT_EQ(control->overlayWindow().alignPixels(), 4);
    EXPECT_EQ(control->UninitOverlay(), 0u);
    EXPECT_FALSE(control->overlayWindow().isEditing());
}
