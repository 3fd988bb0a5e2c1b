// SPDX-License-Identifier: GPL-3.0-or-later
// JSON-RPC over stdin/stdout: one request per line in, one response or
// notification per line out. Local scripts and tests use it; they may have
// the host write files ($grab with a path).
//
// At the end of input the transport waits a short while for answers still
// due (input being delivered, a call that is about to return), then reports
// the end; a call waiting on the user (a modal dialog) is not waited for.
#pragma once

#include "host/StdinReader.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>

namespace host {

class JsonRpcDispatcher;

class StdioTransport : public QObject {
public:
    // Reads requests from `inputFd` and writes lines to `outputFd` (a
    // private copy of stdout: the process's own stdout goes to stderr so
    // that nothing else can corrupt the stream).
    StdioTransport(JsonRpcDispatcher& dispatcher, int inputFd, int outputFd, QObject* parent = nullptr);
    ~StdioTransport() override;

    // `onEnd` runs on the UI thread once input has ended.
    bool start(std::function<void()> onEnd);
    // Stops reading and drops requests read but not yet dispatched; answers
    // and notifications are still written. UI thread only.
    void stop();

    // Writes one notification line. UI thread only.
    void sendNotification(const QByteArray& text);

private:
    void onLine(const QByteArray& line);
    void onInputEnded();
    void answerArrived();
    void finish();
    void writeLine(const QByteArray& text);

    static constexpr int kDrainTimeoutMs = 2000;

    JsonRpcDispatcher& m_dispatcher;
    const int m_outputFd;
    bool m_outputBroken = false;  // stdout was closed: stop writing
    int m_unanswered = 0;         // requests read whose answer is still due
    bool m_inputEnded = false;
    bool m_finished = false;
    bool m_stopped = false;       // no more dispatching
    QTimer m_drainTimer;
    std::function<void()> m_onEnd;
    StdinReader m_reader;  // last: stopped before the members its callbacks use are destroyed
};

}  // namespace host
