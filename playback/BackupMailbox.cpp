// SPDX-License-Identifier: GPL-3.0-or-later
#include "playback/BackupMailbox.h"

#include "platform/Messages.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace playback {

namespace {

struct Mailbox {
    // Guards waiting; held only to add, replace or take notes.
    std::mutex waitingLock;
    std::unordered_map<platform::WindowHandle, std::deque<BackupNote>> waiting;
};

// Never destroyed: a backup thread may still leave a note while the process exits.
Mailbox& mailbox()
{
    static auto* instance = new Mailbox;
    return *instance;
}

bool isProgressFlag(std::uint32_t flag)
{
    return flag == 0 || flag == 5;
}

}  // namespace

void leaveBackupNote(platform::WindowHandle window, BackupNote note)
{
    if (window == 0)
        return;
    Mailbox& box = mailbox();
    bool wake = true;
    {
        std::lock_guard<std::mutex> guard(box.waitingLock);
        std::deque<BackupNote>& queue = box.waiting[window];
        if (isProgressFlag(note.flag)) {
            // Only the newest of a run of progress notes matters: it takes
            // the place of the backup's last waiting note when that is one.
            const auto last = std::find_if(queue.rbegin(), queue.rend(), [&note](const BackupNote& waiting) {
                return waiting.serial == note.serial && waiting.sessionId == note.sessionId;
            });
            if (last != queue.rend() && isProgressFlag(last->flag)) {
                queue.erase(std::next(last).base());
                wake = false;  // the message of the note replaced is still on its way
            }
        }
        queue.push_back(std::move(note));
    }
    if (wake && !platform::postMessage(window, platform::WM_BACKUP_MAIL))
        dropBackupNotes(window);
}

std::vector<BackupNote> takeBackupNotes(platform::WindowHandle window)
{
    Mailbox& box = mailbox();
    std::lock_guard<std::mutex> guard(box.waitingLock);
    const auto found = box.waiting.find(window);
    if (found == box.waiting.end())
        return {};
    std::vector<BackupNote> taken(std::make_move_iterator(found->second.begin()),
                                  std::make_move_iterator(found->second.end()));
    box.waiting.erase(found);
    return taken;
}

void dropBackupNotes(platform::WindowHandle window)
{
    Mailbox& box = mailbox();
    std::lock_guard<std::mutex> guard(box.waitingLock);
    box.waiting.erase(window);
}

}  // namespace playback
