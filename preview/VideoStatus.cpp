// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/VideoStatus.h"

#include "widgets/LanguageTable.h"

namespace preview {

const char* statusKey(int status)
{
    switch (status) {
    case kStatusOpenFailed: return "IE_OpenFailed";
    case kStatusNetworkError: return "IE_NetworkError";
    case kStatusOpening: return "IE_Open";
    case kStatusReconnecting: return "IE_Reconn";
    case kStatusDeviceOffline: return "IE_DVRoffline";
    case kStatusNoRight: return "IE_NoPower";
    case kStatusUnknownError: return "IE_UnkownErr";
    case kStatusSubstreamNotEncoded: return "IE_Substream_noencode";
    default: return "";
    }
}

QString statusText(int status, int windowIndex, LanguageTable* language)
{
    if (status == kStatusIdle)
        return QString::asprintf("%d", windowIndex + 1);
    const char* key = statusKey(status);
    if (*key == '\0' || language == nullptr)
        return {};
    return language->lookup(QString::fromLatin1(key));
}

}  // namespace preview
