// SPDX-License-Identifier: GPL-3.0-or-later
// Dispatch rows of the playback and backup methods.
#include "control/AutomationGroups.h"
#include "control/CVELK_DVRCtrl.h"

namespace automation_detail {

void addPlaybackMethods(std::vector<MethodInfo>& t)
{
    t.push_back({20, "SetRecordPeriod",
                 {{"devId", UI4}, {"start", BSTR}, {"end", BSTR}, {"channel", UI4}, {"recordType", UI4},
                  {"unused", UI4}},
                 UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetRecordPeriod(a[0].asUI4(), a[1].text, a[2].text, a[3].asUI4(),
                                                           a[4].asUI4(), a[5].asUI4()));
                 },
                 false, {},
                 "Unlisted id: 1; channel above 16 or a time not 19 characters after trimming: 0x80060000. "
                 "Else adds a record span to the timeline (type 0 normal, others alarm; an end on a later "
                 "date runs past the day's end; times that are no date-time are left out); 0."});
    t.push_back({23, "StartBackup",
                 {{"devId", UI4}, {"deviceFileName", BSTR}, {"channel", BSTR}, {"start", BSTR}, {"end", BSTR},
                  {"backupKey", BSTR}},
                 UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.StartBackup(a[0].asUI4(), a[1].text, a[2].text, a[3].text, a[4].text,
                                                       a[5].text));
                 },
                 false, {},
                 "Unlisted id: 1; a time not 19 characters after trimming or not 14 digits without \"-\", "
                 "\" \" and \":\", or a channel not a decimal 0..254 (0-based): 0x80060000; a key already "
                 "queued: 4 (nothing changes). Else queues a download of the device file between the two "
                 "times (the recorder's local time) into backup_path/ADDRESS[_WEBPORT unless 80]/BACKUP/CHnn/"
                 "CHnn_START-END_NAME.264 (nn the 1-based channel, START the start's 14 digits, END the end's "
                 "hhmmss, NAME the device file name with every character outside A-Z a-z 0-9 . _ - as _; "
                 "\".part\" appended while it runs; an empty backup_path means the VELK_Dvr folder of the "
                 "profile); 8. Two downloads run at once per session, the next in key order (compared as "
                 "texts) starts whenever one ends. UploadBackupProcess reports each: flag 5 waiting for the "
                 "recorder and 0 progress, every poll (500 ms); 1 done, 2 recorder unreachable, 4 failed "
                 "(refused, not ready within 30 s, broken midway, a folder "
"or name that cannot be used), each followed by 3 as the ended backup is removed."});
    t.push_back({24, "StopBackup", {{"devId", UI4}, {"backupKey", BSTR}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StopBackup(a[0].asUI4(), a[1].text)); },
                 false, {},
                 "Unlisted id: 1. Else stops and removes the download with this key, queued or running "
                 "(a running download's \".part\" file is removed), and fires UploadBackupProcess flag 3 "
                 "for it before returning (nothing for an unknown key); 8."});
    t.push_back({25, "StopPlayback", {{"devId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) { return Variant::ui4(c.StopPlayback(a[0].asUI4())); }, false,
                 {}, "Unlisted id: 1; no playback window: 2. Else stops playback on a worker thread and returns at "
                 "once; the bar shows IE_PlaybackStop when the stream is closed; 0."});
    t.push_back({45, "SetPlaybackDate", {{"devId", UI4}, {"strDate", BSTR}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.SetPlaybackDate(a[0].asUI4(), a[1].text));
                 },
                 true, {{"strDate", BSTR}},
                 "Unlisted id: 1; date not 10 characters (YYYY-MM-DD) or no such day: 2. Else the day to play "
                 "back (a new day stops playback), shown whole on the timeline with no spans until they are "
                 "complete; 0."});
    t.push_back({46, "SetPlayBackChannels", {{"ulPbChls", UI4}}, None,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     c.SetPlayBackChannels(a[0].asUI4());
                     return Variant::empty();
                 },
                 true, {}, "Channels to play back, bit n for channel n (65536 or more: 1); a changed selection stops "
                 "playback and sets the grid's split. No device id."});
    t.push_back({47, "CompleteSetRecordPeriod", {{"DevId", UI4}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.CompleteSetRecordPeriod(a[0].asUI4()));
                 },
                 true, {},
                 "Unlisted id: 1. Else the day's record spans are complete: the timeline shows them and "
                 "puts its cursor at the earliest start (00:00:00 at the latest); 0."});
    t.push_back({51, "AllowPlaybackRecordTypeToPlay", {{"DevId", UI4}, {"unRecordType", UI2}}, UI4,
                 [](CVELK_DVRCtrl& c, const Args& a) {
                     return Variant::ui4(c.AllowPlaybackRecordTypeToPlay(a[0].asUI4(), a[1].asUI2()));
                 },
                 true, {},
                 "Unlisted id: 1. Else the record type to play (above 2: 2), stopping playback when it "
                 "changes; 0."});
}

}  // namespace automation_detail
