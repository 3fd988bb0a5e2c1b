// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatch rows of the record schedule methods.
#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"

namespace automation_detail {

void addScheduleMethods(std::vector<MethodInfo>& t)
{
    t.push_back({52, "SetRecSchedule",
                 {{"DevId", UI4}, {"nRecScheduleMode", I2}, {"nChannel", I2}, {"strScheduleData", BSTR}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetRecSchedule(a[0].asUI4(), a[1].asI2(), a[2].asI2(), a[3].text));
                 },
                 true, {},
                 "Unlisted id: 1; no schedule window: 0. Else loads the week's schedule: 0 loaded, 1 bad "
                 "mode, 2 bad text."});
    t.push_back({53, "GetRecSchedule", {{"DevId", UI4}, {"nRecScheduleMode", I2}, {"nChannel", UI2}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.GetRecSchedule(a[0].asUI4(), a[1].asI2(), a[2].asUI2()));
                 },
                 true, {}, "The week's schedule text; empty for an unlisted id or without a schedule window."});
    t.push_back({54, "SetScheduleMode", {{"DevId", UI4}, {"nMode", I2}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetScheduleMode(a[0].asUI4(), a[1].asI2()));
                 },
                 true, {}, "Unlisted id: 1; mode other than 0 or 1: 2. Else the schedule mode; 0."});
    t.push_back({56, "SelectSchedelBtnType", {{"DevId", UI4}, {"unBtnType", I2}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SelectSchedelBtnType(a[0].asUI4(), a[1].asI2()));
                 },
                 true, {}, "Unlisted id: 1. Else the brush: 1 normal, 2 alarm, other values none; 0."});
}

}  // namespace automation_detail
