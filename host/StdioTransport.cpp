// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/StdioTransport.h"

#include "host/JsonRpcDispatcher.h"
#include "host/RpcResponder.h"

#include <QPointer>

#include <cerrno>
#include <unistd.h>

namespace host {

StdioTransport::StdioTransport(JsonRpcDispatcher& dispatcher, int inputFd, int outputFd, QObject* parent)
    : QObject(parent),
      m_dispatcher(dispatcher),
      m_outputFd(outputFd),
      m_reader(inputFd,
               StdinReader::Callbacks{
                   [this](const QByteArray& line) { onLine(line); },
                   [this] {
                       writeLine(rpc::errorText(QJsonValue::Null, rpc::kParseError,
                                                QStringLiteral("request line longer than %1 bytes dropped")
                                                    .arg(StdinReader::kMaxLineBytes)));
                   },
                   [this] { onInputEnded(); },
               })
{
    m_drainTimer.setSingleShot(true);
    m_drainTimer.setInterval(kDrainTimeoutMs);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] { finish(); });
}

StdioTransport::~StdioTransport()
{
    stop();
}

bool StdioTransport::start(std::function<void()> onEnd)
{
    m_onEnd = std::move(onEnd);
    return m_reader.start();
}

void StdioTransport::stop()
{
    m_stopped = true;
    m_reader.stop();
}

void StdioTransport::sendNotification(const QByteArray& text)
{
    writeLine(text);
}

void StdioTransport::onLine(const QByteArray& line)
{
    if (m_stopped || line.trimmed().isEmpty())
        return;
    const CallerContext caller{/*mayWriteFiles=*/true};
    QPointer<StdioTransport> self(this);
    ++m_unanswered;
    const bool answerDue = m_dispatcher.handleMessage(line, caller, [self](const QByteArray& response) {
        if (self == nullptr)
            return;
        self->writeLine(response);
        self->answerArrived();
    });
    if (!answerDue && self != nullptr)
        answerArrived();
}

void StdioTransport::answerArrived()
{
    --m_unanswered;
    if (m_inputEnded && m_unanswered <= 0)
        finish();
}

void StdioTransport::onInputEnded()
{
    m_inputEnded = true;
    if (m_unanswered <= 0)
        finish();
    else
        m_drainTimer.start();
}

void StdioTransport::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_drainTimer.stop();
    if (m_onEnd)
        m_onEnd();
}

void StdioTransport::writeLine(const QByteArray& text)
{
    if (m_outputBroken)
        return;
    QByteArray line = text;
    line.append('\n');
    const char* data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(m_outputFd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            m_outputBroken = true;  // the reader went away; keep running until input ends
            return;
        }
        data += n;
        left -= n;
    }
}

}  // namespace host
