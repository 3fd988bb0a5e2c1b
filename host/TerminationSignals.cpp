// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace host {

namespace {

sigset_t terminationSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void blockTerminationSignals()
{
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    const sigset_t set = terminationSet();
    // Blocked here too, in case main() did not: then only this thread and
    // the threads it starts from now on are sure to leave them to the fd.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        signalfd_siginfo info{};
        bool any = false;
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            any = true;
        if (any && m_onSignal)
            m_onSignal();
    });
}

TerminationSignals::~TerminationSignals()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    // From here on a signal ends the process as by default: the end of the
    // host must not be stuck where nobody reads them any more.
    const sigset_t set = terminationSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace host
