// SPDX-License-Identifier: GPL-3.0-or-later
// The status a video view shows while no picture is shown, and the text of
// each: a language-table key, looked up when the status is drawn.
#pragma once

#include <QString>

class LanguageTable;

namespace preview {

enum VideoStatus : int {
    kStatusIdle = 0,             // the window number
    kStatusOpenFailed = 1,       // "IE_OpenFailed"
    kStatusShowing = 2,          // the picture, no text
    kStatusNetworkError = 3,     // "IE_NetworkError"
    kStatusOpening = 4,          // "IE_Open"
    kStatusReconnecting = 5,     // "IE_Reconn"
    kStatusDeviceOffline = 6,    // "IE_DVRoffline"
    kStatusNoRight = 7,          // "IE_NoPower"
    kStatusUnknownError = 8,     // "IE_UnkownErr"
    kStatusSubstreamNotEncoded = 9,  // "IE_Substream_noencode"
};

// The language key of a status; empty for 0, 2 and codes above 9.
const char* statusKey(int status);

// The text drawn for a status: the window number (index + 1) for 0, the
// looked-up text for a keyed status, else nothing. Any thread.
QString statusText(int status, int windowIndex, LanguageTable* language);

}  // namespace preview
