// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatch rows of the overlay editor methods.
#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"

namespace automation_detail {

void addOverlayMethods(std::vector<MethodInfo>& t)
{
    t.push_back({27, "InitOverlay",
                 {{"devId", UI4}, {"channel", I4}, {"kind", UI4}, {"streamType", UI4}, {"pictureWidth", UI2},
                  {"pictureHeight", UI2}},
                 UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.InitOverlay(a[0].asUI4(), a[1].asI4(), a[2].asUI4(), a[3].asUI4(),
                                                       a[4].asUI2(), a[5].asUI2()));
                 },
                 false, {},
                 "Unlisted id: 1; channel above 16 (unsigned): 2; kind above 2: 3; stream type above 2: 4. "
                 "Else starts editing (0 motion cells, 1 privacy masks, 2 text items) unless running; 0."});
    t.push_back({28, "UninitOverlay", {}, UI4,
                 [](CVELK_DVRCtrl& c, const Args&) { return Variant::ui4(c.UninitOverlay()); }, false, {},
                 "Ends overlay editing; 0."});
    t.push_back({29, "ClearOverlayScreen", {}, UI4,
                 [](CVELK_DVRCtrl& c, const Args&) { return Variant::ui4(c.ClearOverlayScreen()); }, false, {},
                 "Clears the cells, masks or text items being edited; 0."});
    t.push_back({30, "SetOverlayMDInitData", {{"devId", UI4}, {"cells", BSTR}, {"unused", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetOverlayMDInitData(a[0].asUI4(), a[1].text, a[2].asUI4()));
                 },
                 false, {},
                 "Empty text when loaded; \"1\" unlisted id, \"2\" not 64 characters, \"3\" not 64 "
                 "upper-case hexadecimal digits."});
    t.push_back({31, "SetOverlayOsdInitData",
                 {{"devId", UI4}, {"index", UI4}, {"packedPair", UI4}, {"text", BSTR}, {"visible", UI4},
                  {"referenceWidth", UI4}, {"referenceHeight", UI4}, {"x", UI4}, {"y", UI4}},
                 BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetOverlayOsdInitData(a[0].asUI4(), a[1].asUI4(), a[2].asUI4(),
                                                                  a[3].text, a[4].asUI4(), a[5].asUI4(),
                                                                  a[6].asUI4(), a[7].asUI4(), a[8].asUI4()));
                 },
                 false, {}, "Empty text when set; \"1\" unlisted id, \"2\" index above 2, \"5\" visible not 0 or 1."});
    t.push_back({32, "SetOverlayShelterInitData",
                 {{"devId", UI4}, {"index", UI4}, {"left", UI4}, {"top", UI4}, {"right", UI4}, {"bottom", UI4},
                  {"referenceWidth", UI4}, {"referenceHeight", UI4}},
                 BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetOverlayShelterInitData(a[0].asUI4(), a[1].asUI4(), a[2].asUI4(),
                                                                      a[3].asUI4(), a[4].asUI4(), a[5].asUI4(),
                                                                      a[6].asUI4(), a[7].asUI4()));
                 },
                 false, {},
                 "Empty text when set; \"1\" unlisted id, \"2\" index above 4, \"3\" a coordinate above 65535, "
                 "right below left or bottom below top."});
    t.push_back({33, "GetOverlayMDData", {{"devId", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::bstr(c.GetOverlayMDData(a[0].asUI4())); },
                 false, {}, "Unlisted id: \"faile 1\". Else the 64-digit motion cell text."});
    t.push_back({34, "GetShelterData", {{"devId", UI4}, {"index", I4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.GetShelterData(a[0].asUI4(), a[1].asI4()));
                 },
                 false, {}, "Unlisted id: \"faile 1\". Else \"left_top_width_height\" of the mask, \"0_0_0_0\" if none."});
    t.push_back({35, "GetOsdOverlayData", {{"devId", UI4}, {"index", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.GetOsdOverlayData(a[0].asUI4(), a[1].asUI4()));
                 },
                 false, {}, "Unlisted id: \"faile 1\"; index above 2: \"faile 2\". Else \"count_x_y\"."});
    t.push_back({59, "SetOSD_AlignPixels", {{"unPixels", UI2}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetOSD_AlignPixels(a[0].asUI2());
                     return Variant::empty();
                 },
                 true, {}, "Snapping step of text positions in pixels (0 ignored). No device id."});
}

}  // namespace automation_detail
