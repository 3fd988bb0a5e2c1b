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
                 "Else, unless editing already runs (call UninitOverlay first), clears the overlay and opens the "
                 "channel's live stream on the overlay page to edit one kind: 0 motion cells, 1 privacy masks, "
                 "2 text items, on a device picture of the given size (704 x 576 for the main stream). The status "
                 "text shows until the first picture; then the mouse edits and the overlay is drawn on each "
                 "picture. 0."});
    t.push_back({28, "UninitOverlay", {}, UI4,
                 [](CVELK_DVRCtrl& c, const Args&) { return Variant::ui4(c.UninitOverlay()); }, false, {},
                 "Closes the overlay page's stream and ends editing (the data stays readable); 0."});
    t.push_back({29, "ClearOverlayScreen", {}, UI4,
                 [](CVELK_DVRCtrl& c, const Args&) { return Variant::ui4(c.ClearOverlayScreen()); }, false, {},
                 "Clears what the running kind edits: all motion cells, all masks or all text items; 0."});
    t.push_back({30, "SetOverlayMDInitData", {{"devId", UI4}, {"cells", BSTR}, {"unused", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetOverlayMDInitData(a[0].asUI4(), a[1].text, a[2].asUI4()));
                 },
                 false, {},
                 "Loads the motion cells: 64 upper-case hex digits, byte i bit j (lowest first) = cell 8i + j, "
                 "cell = row x 15 + column. Empty text when loaded; \"1\" unlisted id, \"2\" not 64 characters, "
                 "\"3\" a character other than 0-9, A-F (nothing changes)."});
    t.push_back({31, "SetOverlayOsdInitData",
                 {{"devId", UI4}, {"index", UI4}, {"packedPair", UI4}, {"text", BSTR}, {"visible", UI4},
                  {"referenceWidth", UI4}, {"referenceHeight", UI4}, {"x", UI4}, {"y", UI4}},
                 BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.SetOverlayOsdInitData(a[0].asUI4(), a[1].asUI4(), a[2].asUI4(),
                                                                  a[3].text, a[4].asUI4(), a[5].asUI4(),
                                                                  a[6].asUI4(), a[7].asUI4(), a[8].asUI4()));
                 },
                 false, {},
                 "Sets text item index (0 channel name, 1 date and time, 2 title) at x, y in the reference size "
                 "(0: the picture size); with alignment 8 the page gives x + 8. Empty text when set; \"1\" "
                 "unlisted id, \"2\" index above 2, \"5\" visible not 0 or 1."});
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
                 "Sets privacy mask index (a new index appends) as edges in the reference size (0: the picture "
                 "size); with alignment 8 the page gives left = x + 8, right = x + width. Empty text when set; "
                 "\"1\" unlisted id, \"2\" index above 4, \"3\" a coordinate above 65535, right left of the "
                 "device's left edge or bottom below top. A mask with no width or height is ignored."});
    t.push_back({33, "GetOverlayMDData", {{"devId", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::bstr(c.GetOverlayMDData(a[0].asUI4())); },
                 false, {}, "Unlisted id: \"faile 1\". Else the 64-digit motion cell text, as edited."});
    t.push_back({34, "GetShelterData", {{"devId", UI4}, {"index", I4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.GetShelterData(a[0].asUI4(), a[1].asI4()));
                 },
                 false, {},
                 "Unlisted id: \"faile 1\". Else \"left_top_width_height\" of mask index in picture coordinates, "
                 "left 8 more than the device's x with alignment 8; \"0_0_0_0\" past the last mask."});
    t.push_back({35, "GetOsdOverlayData", {{"devId", UI4}, {"index", UI4}}, BSTR,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::bstr(c.GetOsdOverlayData(a[0].asUI4(), a[1].asUI4()));
                 },
                 false, {},
                 "Unlisted id: \"faile 1\"; index above 2: \"faile 2\". Else \"count_x_y\": the number of "
                 "text items and the device's x, y of the item (0_0 when it is not set)."});
    t.push_back({59, "SetOSD_AlignPixels", {{"unPixels", UI2}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetOSD_AlignPixels(a[0].asUI2());
                     return Variant::empty();
                 },
                 true, {},
                 "Alignment of mouse edits in device pixels (0 ignored): mask edges and text positions snap to "
                 "it; 8 means the page's left edges are 8 more than the device's and edits snap to 4. No device "
                 "id."});
}

}  // namespace automation_detail
