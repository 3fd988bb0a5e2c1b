// SPDX-License-Identifier: GPL-3.0-or-later
// Turns SIGINT and SIGTERM into a call on the UI thread, so that the host
// ends as it does at the end of input: the control is destroyed (logging out
// its session) and the module ends.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace host {

class TerminationSignals : public QObject {
public:
    // `onSignal` runs on the UI thread. One instance per process.
    TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    // Runs in the signal handler: only writes to the pipe.
    static void handle(int signalNumber);

    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace host
