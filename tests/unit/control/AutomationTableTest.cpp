// SPDX-License-Identifier: GPL-3.0-or-later
#include "ControlFixture.h"

#include <set>

TEST(AutomationTable, HasFiftySevenMethodsWithTheirDispids)
{
    const auto& methods = methodTable();
    ASSERT_EQ(methods.size(), 57u);
    std::set<int> dispids;
    std::set<QString> names;
    for (const MethodInfo& m : methods) {
        dispids.insert(m.dispid);
        names.insert(QString::fromLatin1(m.name).toLower());
        EXPECT_TRUE(m.invoke) << m.name;
        EXPECT_NE(m.summary, nullptr) << m.name;
        EXPECT_EQ(findMethod(m.dispid), &m);
        EXPECT_EQ(findMethod(QString::fromLatin1(m.name).toUpper()), &m) << m.name;
    }
    std::set<int> expected;
    for (int id = 1; id <= 59; ++id)
        if (id != 15 && id != 16)
            expected.insert(id);
    EXPECT_EQ(dispids, expected);
    EXPECT_EQ(names.size(), 57u);  // unique, ignoring case
    EXPECT_EQ(findMethod(QStringLiteral("NoSuchMethod")), nullptr);
    EXPECT_EQ(findMethod(15), nullptr);
}

TEST(AutomationTable, TheTypeLibraryDescribesTwentyTwoMethods)
{
    const std::set<QString> expected = {
        "Login", "Logout", "SwitchPage", "StopPreviewAll", "GetVolume", "GetActiveChannel", "SetChannelCnt",
        "RePlace", "SetPlaybackDate", "SetPlayBackChannels", "CompleteSetRecordPeriod",
        "SetPreviewVideoShapeMode", "SetLanguageString", "SwitchPreviewStreamType",
        "AllowPlaybackRecordTypeToPlay", "SetRecSchedule", "GetRecSchedule", "SetScheduleMode",
        "SelectSchedelBtnType", "SetClientID", "SetWebport", "SetOSD_AlignPixels"};
    std::set<QString> described;
    for (const MethodInfo& m : methodTable())
        if (m.inTypeLibrary)
            described.insert(QString::fromLatin1(m.name));
    EXPECT_EQ(described, expected);

    const MethodInfo* getVolume = findMethod(QStringLiteral("GetVolume"));
    EXPECT_EQ(getVolume->args.size(), 1u);
    EXPECT_TRUE(getVolume->typeLibraryView().empty());
    const MethodInfo* date = findMethod(QStringLiteral("SetPlaybackDate"));
    ASSERT_EQ(date->typeLibraryView().size(), 1u);
    EXPECT_STREQ(date->typeLibraryView()[0].name, "strDate");
    EXPECT_EQ(&findMethod(QStringLiteral("Login"))->typeLibraryView(), &findMethod(QStringLiteral("Login"))->args);
}

TEST(AutomationTable, TheFourEventsAndTheTypeLibraryIdentity)
{
    const auto& events = eventTable();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_STREQ(findEvent(1)->name, "UploadAlarm");
    const EventInfo* backup = findEvent(2);
    EXPECT_STREQ(backup->name, "UploadBackupProcess");
    ASSERT_EQ(backup->params.size(), 5u);
    EXPECT_STREQ(backup->params[2].name, "TotalLen");
    EXPECT_EQ(backup->params[2].type, VarType::UI8);
    EXPECT_EQ(backup->params[4].type, VarType::BSTR);
    EXPECT_STREQ(findEvent(3)->name, "ReTurnPreviewActiveChl");
    EXPECT_STREQ(findEvent(4)->name, "ReTurnPreviewAllChannelState");
    EXPECT_EQ(findEvent(4)->params.size(), 2u);
    EXPECT_EQ(findEvent(5), nullptr);

    EXPECT_STREQ(typeLibraryInfo().name, "VELK_DVRLib");
    EXPECT_STREQ(typeLibraryInfo().progId, "VELK_DVR.VELK_DVRCtrl.1");
    EXPECT_STREQ(varTypeName(VarType::Empty), "none");
    EXPECT_STREQ(varTypeName(VarType::I2), "I2");
}

using InvokeMethod = ControlFixture;

TEST_F(InvokeMethod, RefusesCallsThatDoNotMatchTheArguments)
{
    const MethodInfo& getVolume = *findMethod(QStringLiteral("GetVolume"));
    EXPECT_EQ(invokeMethod(*control, getVolume, {Variant::ui4(9)}).integer, 1000);
    EXPECT_EQ(invokeMethod(*control, getVolume, {}).type, VarType::Empty);
    EXPECT_EQ(invokeMethod(*control, getVolume, {Variant::ui4(9), Variant::ui4(9)}).type, VarType::Empty);
    EXPECT_EQ(invokeMethod(*control, getVolume, {Variant::i4(-1)}).type, VarType::Empty);  // out of range
    EXPECT_EQ(invokeMethod(*control, getVolume, {Variant::bstr(QStringLiteral("9"))}).type, VarType::Empty);

    const MethodInfo& replace = *findMethod(QStringLiteral("RePlace"));
    EXPECT_EQ(invokeMethod(*control, replace, {Variant::ui2(0), Variant::i4(40000), Variant::i2(0)}).type,
              VarType::Empty);
    // A value in range of another integer type is read as the argument's type.
    const Variant page = invokeMethod(*control, *findMethod(QStringLiteral("SwitchPage")), {Variant::i4(3)});
    EXPECT_EQ(page.type, VarType::UI4);
    EXPECT_EQ(control->currentPage(), 3);
}
