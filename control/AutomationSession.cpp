// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatch rows of the session, page and settings methods.
#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"

namespace automation_detail {

void addSessionMethods(std::vector<MethodInfo>& t)
{
    t.push_back({1, "Login", {{"DeviceIp", BSTR}, {"MediaPort", UI4}, {"UserName", BSTR}, {"UserPassword", BSTR}},
                 BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.Login(a[0].text, a[1].asUI4(), a[2].text, a[3].text));
                 },
                 true, {},
                 "Logs in. Success: \"00000000_\" and the device id in decimal; failure: the error code "
                 "in 8 lower-case hexadecimal digits and \"_0\" (unreachable recorder: \"00000003_0\")."});
    t.push_back({4, "SetSize", {{"width", UI4}, {"height", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetSize(a[0].asUI4(), a[1].asUI4());
                     return Variant::empty();
                 },
                 false, {}, "Sends the control a size message; the panels cover its client area."});
    t.push_back({5, "SetToolbarState", {{"state1", UI4}, {"state2", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetToolbarState(a[0].asUI4(), a[1].asUI4());
                     return Variant::empty();
                 },
                 false, {}, "Does nothing."});
    t.push_back({6, "SetMax", {{"value", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.SetMax(a[0].asUI4())); }, false, {},
                 "Does nothing; 0."});
    t.push_back({7, "SetViewBkColor", {{"color", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.SetViewBkColor(a[0].asUI4())); },
                 false, {}, "Does nothing; 0."});
    t.push_back({10, "StartTalk", {{"devId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StartTalk(a[0].asUI4())); }, false,
                 {}, "Does nothing; 0."});
    t.push_back({11, "StopTalk", {{"devId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StopTalk(a[0].asUI4())); }, false,
                 {}, "Does nothing; 0."});
    t.push_back({17, "CreateOsdMatrix", {{"text", BSTR}, {"unused", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.CreateOsdMatrix(a[0].text, a[1].asUI4()));
                 },
                 false, {},
                 "Replaces the first \"0\" after the first \"_\" with the byte length of the text after "
                 "the fourth \"_\" (1_0_a_b_cd gives 1_2_a_b_cd); no device id."});
    t.push_back({18, "Logout", {{"DevId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.Logout(a[0].asUI4())); }, true, {},
                 "Unlisted id: -2. Else ends overlay editing, logs out, removes the session; 0 whatever the "
                 "recorder answered."});
    t.push_back({19, "SetLocalParameter", {{"devId", UI4}, {"key", BSTR}, {"value", BSTR}, {"operation", BSTR}},
                 BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetLocalParameter(a[0].asUI4(), a[1].text, a[2].text, a[3].text));
                 },
                 false, {},
                 "Unlisted id: \"faile 1\"; unknown key: \"faile 2\"; \"get\": the value; \"set\": "
                 "\"succeed\" (\"faile 3\" when it could not be stored); other operation: \"faile 4\"."});
    t.push_back({21, "SwitchPage", {{"nPage", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.SwitchPage(a[0].asUI4())); }, true,
                 {}, "Shows page 0 live preview, 1 overlay editor, 2 record schedule, 3 playback; always 0."});
    t.push_back({22, "ClearRecordPeriod", {}, UI4,
                 [](CVELK_DVRCtrl& c, const Args&) { return Variant::ui4(c.ClearRecordPeriod()); }, false, {},
                 "Does nothing; 0."});
    t.push_back({26, "GetFolderPath", {{"devId", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::bstr(c.GetFolderPath(a[0].asUI4())); },
                 false, {},
                 "Unlisted id: \"faile\". Else lets the user pick a folder: its path ending in \"/\", empty "
                 "when cancelled."});
    t.push_back({44, "RePlace", {{"usType", UI2}, {"nX", I2}, {"nY", I2}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.RePlace(a[0].asUI2(), a[1].asI2(), a[2].asI2());
                     return Variant::empty();
                 },
                 true, {}, "Posts the control a size message with nX and nY sign-extended."});
    t.push_back({49, "SetLanguageString", {{"DevId", UI4}, {"strKey", BSTR}, {"strValue", BSTR}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetLanguageString(a[0].asUI4(), a[1].text, a[2].text));
                 },
                 true, {}, "Replaces an interface text: 0 replaced, 2 no such key, 3 no table; DevId not used."});
    t.push_back({55, "SetDeviceType", {{"deviceType", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetDeviceType(a[0].asUI4());
                     return Variant::empty();
                 },
                 false, {}, "Does nothing."});
    t.push_back({57, "SetClientID", {{"ulClientID", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetClientID(a[0].asUI4());
                     return Variant::empty();
                 },
                 true, {}, "Client id for later logins."});
    t.push_back({58, "SetWebport", {{"ulWebport", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetWebport(a[0].asUI4());
                     return Variant::empty();
                 },
                 true, {}, "Web port for later logins (default 80); part of the settings file's name."});
}

}  // namespace automation_detail
