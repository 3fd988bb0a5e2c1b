// SPDX-License-Identifier: GPL-3.0-or-later
// Turns SIGINT and SIGTERM into a call on the UI thread, so that the host
// ends as it does at the end of input: the control is destroyed (logging out
// its session) and the module ends.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace host {

// Blocks SIGINT and SIGTERM in the calling thread and in every thread it
// starts afterwards, so that they reach the process only through a
// TerminationSignals' descriptor. Call first in main(), before any thread.
void blockTerminationSignals();

class TerminationSignals : public QObject {
public:
    // `onSignal` runs on the UI thread. One instance per process.
    TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    std::function<void()> m_onSignal;
    int m_fd = -1;  // the signalfd reading SIGINT and SIGTERM
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace host
