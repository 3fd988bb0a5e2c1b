// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/ChannelOrderStore.h"

#include "platform/Profile.h"

#include <string>

namespace preview {

const char* channelOrderSection(bool playback)
{
    return playback ? "PlaybackChannelOrder" : "PreviewChannelOrder";
}

void loadChannelOrder(const QString& settingsPath, bool playback, WindowOrder& order)
{
    if (settingsPath.isEmpty())
        return;
    const std::string path = settingsPath.toStdString();
    const char* section = channelOrderSection(playback);
    WindowOrder loaded = order;
    for (int p = 0; p < kGridWindows; ++p) {
        const std::string value = platform::readProfileString(path, section, std::to_string(p));
        if (value.empty())
            continue;
        bool ok = false;
        const int index = QString::fromStdString(value).trimmed().toInt(&ok, 10);
        if (ok && index >= 0 && index < kGridWindows)
            loaded[static_cast<std::size_t>(p)] = index;
    }
    // A hand-edited or stale file must not lose a window from the grid.
    if (isPermutation(loaded))
        order = loaded;
}

bool saveChannelOrder(const QString& settingsPath, bool playback, const WindowOrder& order)
{
    if (settingsPath.isEmpty())
        return false;
    const std::string path = settingsPath.toStdString();
    platform::createFoldersOf(path);
    const char* section = channelOrderSection(playback);
    bool ok = true;
    for (int p = 0; p < kGridWindows; ++p)
        ok = platform::writeProfileString(path, section, std::to_string(p),
                                          std::to_string(order[static_cast<std::size_t>(p)])) && ok;
    return ok;
}

}  // namespace preview
