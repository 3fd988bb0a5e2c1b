// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/LanguageTable.h"

namespace {

std::vector<std::pair<QString, QString>> makeDefaults()
{
    // Keys are matched exactly as written, odd spellings included.
    static const char* const kEntries[][2] = {
        {"IE_Open", "Opening"},
        {"IE_OpenFailed", "Open failed"},
        {"IE_OpenWindow", "Open window"},
        {"IE_CloseWindow", "close window"},
        {"IE_OpenAll", "Open all window"},
        {"IE_CloseAll", "Close all window"},
        {"STR_START_MANUAL_RECORD", "Start record"},
        {"STR_STOP_MANUAL_RECORD", "Stop record"},
        {"IE_FullScreem", "Full screen"},
        {"IE_ExitFullScreem", "Exit full screen"},
        {"IE_Reconn", "Re-connecting..."},
        {"STR_Playing", "Play"},
        {"IE_PlaybackStop", "Stop"},
        {"IE_PlaybackPause", "Pause"},
        {"IE_PlaybackSpeed", "Speed"},
        {"IE_PlaybackSlow", "Slow"},
        {"IE_PlaybackNextFrame", "Next frame"},
        {"STR_CH", "Channel"},
        {"IE_CAPTURE_IMAGES", "Capture"},
        {"IE_PlaybackBarZoomIn", "Zoom in"},
        {"IE_PlaybackBarZoomOut", "Zoom out"},
        {"IE_Buffering", "Buffering..."},
        {"IE_PlaybackFailed", "Play failed"},
        {"IE_NetworkError", "Network error"},
        {"IE_DVRoffline", "DVR offline"},
        {"IE_NoPower", "No access"},
        {"IE_UnkownErr", "Sorry,Unkown error!"},
        {"STR_MON.", "Mon."},
        {"STR_TUE.", "Tue."},
        {"STR_WED.", "Wed."},
        {"STR_THU.", "Thu."},
        {"STR_FRI.", "Fri."},
        {"STR_SAT.", "Sat."},
        {"STR_SUN.", "Sun."},
        {"STR_ADD PLAN", "Add"},
        {"STR_DELETE PLAN", "Delete"},
        {"STR_RECORD TYPE", "Type"},
        {"STR_NORMAL", "Normal"},
        {"STR_ALARM", "Alarm"},
        {"STR_RECORD MANUAL", "Manual"},
        {"STR_START TIME", "Start time"},
        {"STR_END TIME", "End time"},
        {"STR_TIMER RECORD", "Schedule"},
        {"STR_OK", "OK"},
        {"DIALOG_Warning", "Warning"},
        {"DIALOG_TimeInputError", "Time input error!"},
        {"IE_Substream_noencode", "Sub-stream no encode!"},
        {"STR_PRE_VOLUME", "Mute"},
        {"STR_Four screen", "Quad"},
        {"IE_Nine Channel", "Nine windows"},
        {"STR_Sixteen screen", "Sixteen windows"},
        {"IE_PreChannel", "Prev page"},
        {"IE_Next Channel", "Next page"},
        {"IE_ViewWindowMode", "Original/Full window"},
    };
    std::vector<std::pair<QString, QString>> entries;
    entries.reserve(std::size(kEntries));
    for (const auto& entry : kEntries)
        entries.emplace_back(QString::fromLatin1(entry[0]), QString::fromLatin1(entry[1]));
    return entries;
}

}  // namespace

const std::vector<std::pair<QString, QString>>& LanguageTable::defaults()
{
    static const std::vector<std::pair<QString, QString>> kDefaults = makeDefaults();
    return kDefaults;
}

LanguageTable::LanguageTable()
{
    for (const auto& [key, text] : defaults())
        m_texts.emplace(key, text);
}

QString LanguageTable::lookup(const QString& key)
{
    std::lock_guard<std::mutex> lock(m_textsLock);
    return m_texts[key];  // adds the key with an empty text when missing
}

bool LanguageTable::replace(const QString& key, const QString& text)
{
    std::lock_guard<std::mutex> lock(m_textsLock);
    auto it = m_texts.find(key);
    if (it == m_texts.end())
        return false;
    it->second = text;
    return true;
}

bool LanguageTable::contains(const QString& key) const
{
    std::lock_guard<std::mutex> lock(m_textsLock);
    return m_texts.count(key) != 0;
}

std::size_t LanguageTable::size() const
{
    std::lock_guard<std::mutex> lock(m_textsLock);
    return m_texts.size();
}
