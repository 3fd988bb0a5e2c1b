// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/PreviewSupervisor.h"

#include "platform/Debug.h"

using namespace platform;

PreviewSupervisor::PreviewSupervisor(Actions actions)
    : m_actions(std::move(actions)), m_thread([this] { run(); })
{
}

PreviewSupervisor::~PreviewSupervisor()
{
    shutdown();
}

void PreviewSupervisor::requestStart()
{
    enqueue(kStart);
}

void PreviewSupervisor::requestStop()
{
    enqueue(kStop);
}

void PreviewSupervisor::enqueue(Request request)
{
    std::lock_guard<std::mutex> guard(m_requestLock);
    if (m_quit.load())
        return;
    m_requests.push_back(request);
    m_wake.set();
}

void PreviewSupervisor::clearRequests()
{
    std::lock_guard<std::mutex> guard(m_requestLock);
    m_requests.clear();
}

std::size_t PreviewSupervisor::pendingRequests() const
{
    std::lock_guard<std::mutex> guard(m_requestLock);
    return m_requests.size();
}

void PreviewSupervisor::shutdown()
{
    {
        std::lock_guard<std::mutex> guard(m_requestLock);
        m_quit.store(true);
        m_requests.clear();
        m_wake.set();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void PreviewSupervisor::resetWakeUnlessDueLocked()
{
    // A request or a shutdown that came in meanwhile set the event: clearing
    // it now would lose that wake-up and leave the thread asleep for ever.
    if (m_requests.empty() && !m_quit.load())
        m_wake.reset();
}

void PreviewSupervisor::run()
{
    while (m_wake.wait(Event::kInfinite) && !m_quit.load()) {
        debugOutput(" PreviewCtrolProc While check \n");
        Request request = kStop;
        {
            std::lock_guard<std::mutex> guard(m_requestLock);
            if (m_requests.empty()) {
                resetWakeUnlessDueLocked();
                continue;
            }
            debugOutput(" PreviewCtrolProc While check 2\n");
            // The newest request wins; older ones are dropped.
            request = m_requests.back();
            m_requests.clear();
        }
        debugOutput(" PreviewCtrolProc While check 7\n");
        debugOutput("PreviewCtrolProc While check 8\n");

        if (request == kStop) {
            if (!m_actions.isRunning()) {
                std::lock_guard<std::mutex> guard(m_requestLock);
                resetWakeUnlessDueLocked();
                debugOutput(" PreviewCtrolProc While check 5\n");
            }
            m_actions.stopAll();
            debugOutput("PreviewCtrolProc While check 6 \n");
        } else if (m_actions.isRunning()) {
            debugOutput(" PreviewCtrolProc While check 3\n");
            m_actions.reopenClosed();
        } else {
            m_actions.restartAll();
            debugOutput(" PreviewCtrolProc While check 4\n");
        }

        // New requests meanwhile: go round at once; else sleep until woken.
        std::lock_guard<std::mutex> guard(m_requestLock);
        resetWakeUnlessDueLocked();
    }
    debugOutput(" PreviewCtrolProc While check 10 \n");
}
