// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SentMessages.h"

#include "platform/Sync.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace platform::detail {

void SendRequest::complete(LRESULT result)
{
    std::lock_guard<std::mutex> lock(m_resultLock);
    m_result = result;
    m_done = true;
    m_resultCond.notify_all();
}

LRESULT SendRequest::waitForResult()
{
    std::unique_lock<std::mutex> lock(m_resultLock);
    m_resultCond.wait(lock, [this] { return m_done; });
    return m_result;
}

namespace {

struct QueueState {
    std::mutex queueLock;  // guards pending and waiters
    std::vector<std::shared_ptr<SendRequest>> pending;
    std::unordered_map<std::thread::id, Event*> waiters;
};

QueueState& state()
{
    static QueueState s;
    return s;
}

thread_local bool t_ownsWindows = false;

}  // namespace

void SentMessageQueue::add(const std::shared_ptr<SendRequest>& request)
{
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.queueLock);
    s.pending.push_back(request);
    auto it = s.waiters.find(request->target);
    if (it != s.waiters.end())
        it->second->wakeForSentMessage();
}

void SentMessageQueue::remove(const SendRequest* request)
{
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.queueLock);
    std::erase_if(s.pending, [request](const auto& p) { return p.get() == request; });
}

void SentMessageQueue::dispatchForCurrentThread()
{
    const std::thread::id self = std::this_thread::get_id();
    for (;;) {
        std::shared_ptr<SendRequest> next;
        {
            QueueState& s = state();
            std::lock_guard<std::mutex> lock(s.queueLock);
            for (auto it = s.pending.begin(); it != s.pending.end(); ++it) {
                if ((*it)->target == self && (*it)->claim()) {
                    next = *it;
                    s.pending.erase(it);
                    break;
                }
            }
        }
        if (!next)
            return;
        next->complete(deliverSend(*next));
    }
}

void SentMessageQueue::markCurrentThreadOwnsWindows() { t_ownsWindows = true; }

bool SentMessageQueue::currentThreadOwnsWindows() { return t_ownsWindows; }

Event* SentMessageQueue::enterWait(Event* event, bool& hasPending)
{
    const std::thread::id self = std::this_thread::get_id();
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.queueLock);
    Event*& slot = s.waiters[self];
    Event* previous = slot;
    slot = event;
    hasPending = std::any_of(s.pending.begin(), s.pending.end(),
                             [self](const auto& p) { return p->target == self && !p->isClaimed(); });
    return previous;
}

void SentMessageQueue::leaveWait(Event* previous)
{
    const std::thread::id self = std::this_thread::get_id();
    QueueState& s = state();
    std::lock_guard<std::mutex> lock(s.queueLock);
    if (previous)
        s.waiters[self] = previous;
    else
        s.waiters.erase(self);
}

}  // namespace platform::detail
