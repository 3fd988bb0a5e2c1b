// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/AlarmMailbox.h"

#include "TOVR.h"

#include <json/value.h>
#include <json/writer.h>

#include <deque>
#include <mutex>
#include <unordered_map>

namespace {

struct Mailbox {
    // Guards waiting; held only to add or take entries.
    std::mutex waitingLock;
    std::unordered_map<platform::WindowHandle, std::deque<DeviceAlarm>> waiting;
};

// Never destroyed: a library thread may call back while the process exits.
Mailbox& mailbox()
{
    static auto* instance = new Mailbox;
    return *instance;
}

const char* kindName(std::uint32_t kind)
{
    switch (kind) {
    case TOVR_ALARM_MOTION:
        return "motion";
    case TOVR_ALARM_INPUT:
        return "input";
    default:
        return "other";
    }
}

}  // namespace

std::string alarmContentText(const DeviceAlarm& alarm)
{
    Json::Value content(Json::objectValue);
    content["active"] = alarm.active;
    content["channel"] = alarm.channel;
    content["kind"] = kindName(alarm.kind);
    content["time"] = alarm.localTime;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    return Json::writeString(writer, content);
}

std::uint32_t alarmUploadType(const DeviceAlarm& alarm)
{
    if (!alarm.active)
        return 2;
    return alarm.kind == TOVR_ALARM_MOTION ? 1 : 0;
}

void leaveAlarm(platform::WindowHandle window, DeviceAlarm alarm)
{
    if (window == 0)
        return;
    Mailbox& box = mailbox();
    std::lock_guard<std::mutex> guard(box.waitingLock);
    std::deque<DeviceAlarm>& queue = box.waiting[window];
    if (queue.size() >= kMaxWaitingAlarms)
        queue.pop_front();
    queue.push_back(std::move(alarm));
}

std::vector<DeviceAlarm> takeAlarms(platform::WindowHandle window)
{
    Mailbox& box = mailbox();
    std::lock_guard<std::mutex> guard(box.waitingLock);
    const auto found = box.waiting.find(window);
    if (found == box.waiting.end())
        return {};
    std::vector<DeviceAlarm> taken(std::make_move_iterator(found->second.begin()),
                                   std::make_move_iterator(found->second.end()));
    box.waiting.erase(found);
    return taken;
}

void dropAlarms(platform::WindowHandle window)
{
    Mailbox& box = mailbox();
    std::lock_guard<std::mutex> guard(box.waitingLock);
    box.waiting.erase(window);
}
