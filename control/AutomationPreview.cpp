// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatch rows of the live preview methods.
#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"

namespace automation_detail {

void addPreviewMethods(std::vector<MethodInfo>& t)
{
    t.push_back({2, "StartView", {{"devId", UI4}, {"channel", UI4}, {"streamType", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.StartView(a[0].asUI4(), a[1].asUI4(), a[2].asUI4()));
                 },
                 false, {}, "Does nothing; -1."});
    t.push_back({3, "StopView", {{"devId", UI4}, {"channel", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StopView(a[0].asUI4(), a[1].asUI4())); },
                 false, {}, "Unlisted id: -2; else 0. Does nothing else."});
    t.push_back({8, "StartRecord", {{"devId", UI4}, {"unused", UI4}, {"unusedText", BSTR}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.StartRecord(a[0].asUI4(), a[1].asUI4(), a[2].text));
                 },
                 false, {}, "Unlisted id: 1. Else starts local recording of the live channels; 0, or 0x8002001f when the record "
                 "folder cannot be used (nothing starts) or a playing channel could not create its file."});
    t.push_back({9, "StopRecord", {{"devId", UI4}, {"unused", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.StopRecord(a[0].asUI4(), a[1].asUI4()));
                 },
                 false, {}, "Unlisted id: 1. Else stops local recording; 0."});
    t.push_back({12, "CaptureImage", {{"devId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.CaptureImage(a[0].asUI4())); }, false,
                 {}, "Unlisted id: 1. Else takes a snapshot of the active live channel: 0 when saved; 0x8002001f when "
                 "the snapshot folder cannot be used or the file could not be written; 0x80020002 when no "
                 "window is selected or it has no picture yet."});
    t.push_back({13, "SetPreviewSoundState", {{"devId", UI4}, {"on", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetPreviewSoundState(a[0].asUI4(), a[1].asUI4()));
                 },
                 false, {}, "Unlisted id: 1; no preview panel: 2; else sound on (nonzero) or off; 0."});
    t.push_back({14, "SetVolume", {{"devId", UI4}, {"unused", UI4}, {"volume", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetVolume(a[0].asUI4(), a[1].asUI4(), a[2].asUI4()));
                 },
                 false, {}, "Unlisted id: 1. Else sets the preview volume; 0."});
    t.push_back({36, "ShowChannels", {{"windowCount", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.ShowChannels(a[0].asUI4());
                     return Variant::empty();
                 },
                 false, {},
                 "Grid layout: 1, 3, 4, 6, 8, 9, 13 or 16 windows (other counts up to 16: 1); 0 toggles full "
                 "screen; above 16 nothing. No device id."});
    t.push_back({37, "NextGroupVideos", {}, None,
                 [](CVELK_DVRCtrl& c, const Args&) {
                     c.NextGroupVideos();
                     return Variant::empty();
                 },
                 false, {}, "The preview grid shows its next page of windows."});
    t.push_back({38, "PreviousGoupVides", {}, None,
                 [](CVELK_DVRCtrl& c, const Args&) {
                     c.PreviousGoupVides();
                     return Variant::empty();
                 },
                 false, {}, "The preview grid shows its previous page of windows."});
    t.push_back({39, "StartViewAll", {{"devId", UI4}, {"channelCount", UI4}, {"streamType", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.StartViewAll(a[0].asUI4(), a[1].asUI4(), a[2].asUI4()));
                 },
                 false, {}, "Unlisted id or stream type above 2: 1. Else opens channels 0..count-1; 0."});
    t.push_back({40, "StopPreviewAll", {{"ulDevId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StopPreviewAll(a[0].asUI4())); },
                 true, {}, "Unlisted id: 1. Else closes every live channel; 0."});
    t.push_back({41, "GetVolume", {{"devId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.GetVolume(a[0].asUI4())); }, true,
                 {}, "Unlisted id: 1000. Else the session's volume (50 until set).", true});
    t.push_back({42, "GetActiveChannel", {{"DevId", UI4}}, I4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::i4(c.GetActiveChannel(a[0].asUI4())); },
                 true, {}, "Unlisted id: -2. Else the channel of the active preview window; -1 if none."});
    t.push_back({43, "SetChannelCnt", {{"DevId", UI4}, {"ulChannelCount", UI4}}, I4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::i4(c.SetChannelCnt(a[0].asUI4(), a[1].asUI4()));
                 },
                 true, {},
                 "Unlisted id: 1; count outside 1..16: 0x80060000. Else lays the grid out for the count "
                 "(16 when it is no layout count) and stores it; 0."});
    t.push_back({48, "SetPreviewVideoShapeMode", {{"nShapeMode", I2}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetPreviewVideoShapeMode(a[0].asI2());
                     return Variant::empty();
                 },
                 true, {}, "0 stretch, 1 keep proportions (other values: 0). No device id."});
    t.push_back({50, "SwitchPreviewStreamType", {{"DevId", UI4}, {"nStreamType", UI2}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SwitchPreviewStreamType(a[0].asUI4(), a[1].asUI2()));
                 },
                 true, {}, "Unlisted id: 1. Else asks the live windows to switch stream type; 0."});
}

}  // namespace automation_detail
