// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/PageBroker.h"

#include "host/HostOptions.h"
#include "host/PageChannel.h"
#include "host/WebSocketConnection.h"
#include "host/WebSocketFrames.h"
#include "host/WebSocketHandshake.h"
#include "host/WebSocketPolicy.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

#include <fcntl.h>
#include <unistd.h>

namespace host {

namespace {

// The page's resume id from its URL, when it is one this host could have
// given (32 lower-case hex digits).
QByteArray resumeIdOf(const WebSocketRequest& request)
{
    static const QRegularExpression form(QStringLiteral("^[0-9a-f]{32}$"));
    const QString id = QUrlQuery(QUrl::fromEncoded(request.target)).queryItemValue(QStringLiteral("resume"));
    return form.match(id).hasMatch() ? id.toLatin1() : QByteArray();
}

// The device pixel ratio the page asks for (`?dpr=`), as the host takes it.
double pixelRatioOf(const WebSocketRequest& request)
{
    bool ok = false;
    const double ratio =
        QUrlQuery(QUrl::fromEncoded(request.target)).queryItemValue(QStringLiteral("dpr")).toDouble(&ok);
    return ok ? boundedPixelRatio(ratio) : 1.0;
}

}  // namespace

struct PageBroker::PageProcess {
    enum class State {
        Attached,  // serving its page
        Detached,  // its page went away; waiting for it to come back
        Ending,    // ending its control; takes no page
    };

    QByteArray resumeId;
    QProcess* process = nullptr;  // owned by the broker (a child object)
    int channel = -1;             // the host's end of the channel
    QSocketNotifier* notifier = nullptr;
    State state = State::Attached;
};

PageBroker::PageBroker(Settings settings, QObject* parent) : QObject(parent), m_settings(std::move(settings)) {}

PageBroker::~PageBroker()
{
    shutDown(0);
}

int PageBroker::pageCount() const
{
    return static_cast<int>(m_processes.size());
}

PageBroker::PageProcess* PageBroker::findResumable(const QByteArray& resumeId) const
{
    if (resumeId.isEmpty())
        return nullptr;
    for (const auto& process : m_processes) {
        if (process->resumeId == resumeId && process->state != PageProcess::State::Ending)
            return process.get();
    }
    return nullptr;
}

void PageBroker::accept(WebSocketConnection* connection, const WebSocketRequest& request)
{
    if (m_shuttingDown) {
        connection->close(ws::kGoingAway, QStringLiteral("host ends"));
        return;
    }
    PageProcess* resumable = findResumable(resumeIdOf(request));
    if (resumable != nullptr && resumable->state == PageProcess::State::Detached) {
        if (handOver(*resumable, connection, /*resumed=*/true))
            resumable->state = PageProcess::State::Attached;
        return;
    }
    if (resumable != nullptr) {
        // Its page may be the one reloading: wait for it to go. Held
        // connections are bounded as pages are.
        if (static_cast<int>(m_waiting.size()) >= m_settings.maxPages) {
            connection->close(ws::kTryAgainLater, QStringLiteral("too many pages waiting for their controls"));
            return;
        }
        connection->hold();
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        m_waiting.push_back({connection, resumable, timer, pixelRatioOf(request)});
        connect(timer, &QTimer::timeout, this, [this, timer] {
            for (std::size_t i = 0; i < m_waiting.size(); ++i) {
                if (m_waiting[i].timer == timer) {
                    endWait(i, /*resume=*/false);
                    return;
                }
            }
        });
        timer->start(kResumeWaitMs);
        return;
    }
    startNew(connection, pixelRatioOf(request));
}

void PageBroker::endWait(std::size_t index, bool resume)
{
    const Waiting waiting = m_waiting[index];
    m_waiting.erase(m_waiting.begin() + static_cast<std::ptrdiff_t>(index));
    waiting.timer->deleteLater();
    if (waiting.connection.isNull() || !waiting.connection->isOpen())
        return;  // the page gave up meanwhile
    if (resume && waiting.process->state == PageProcess::State::Detached) {
        if (handOver(*waiting.process, waiting.connection, /*resumed=*/true))
            waiting.process->state = PageProcess::State::Attached;
        return;
    }
    startNew(waiting.connection, waiting.pixelRatio);
}

void PageBroker::startNew(WebSocketConnection* connection, double pixelRatio)
{
    if (m_shuttingDown) {
        connection->close(ws::kGoingAway, QStringLiteral("host ends"));
        return;
    }
    if (pageCount() >= m_settings.maxPages) {
        qWarning("velk-dvr-host: page refused: %d pages are served already", pageCount());
        connection->close(ws::kTryAgainLater,
                          QStringLiteral("too many pages: this host serves at most %1 at once").arg(m_settings.maxPages));
        return;
    }
    PageProcess* process = startProcess(pixelRatio);
    if (process == nullptr) {
        connection->close(ws::kInternalError, QStringLiteral("the page's control could not be started"));
        return;
    }
    handOver(*process, connection, /*resumed=*/false);
}

PageBroker::PageProcess* PageBroker::startProcess(double pixelRatio)
{
    int hostEnd = -1;
    int childEnd = -1;
    if (!pagechannel::createPair(hostEnd, childEnd)) {
        qWarning("velk-dvr-host: cannot create a page channel");
        return nullptr;
    }
    auto page = std::make_unique<PageProcess>();
    page->resumeId = WebSocketPolicy::randomToken().toLatin1().toLower();
    page->channel = hostEnd;
    page->process = new QProcess(this);
    page->process->setProgram(QCoreApplication::applicationFilePath());
    page->process->setArguments({QStringLiteral("--page-child"), QString::number(childEnd), QStringLiteral("--size"),
                                 QStringLiteral("%1x%2").arg(m_settings.controlSize.width()).arg(
                                     m_settings.controlSize.height()),
                                 QStringLiteral("--resume-grace-ms"), QString::number(m_settings.resumeGraceMs),
                                 QStringLiteral("--dpr"), QString::number(pixelRatio)});
    page->process->setProcessChannelMode(QProcess::ForwardedChannels);
    page->process->setInputChannelMode(QProcess::ForwardedInputChannel);
    // The child's end is the only descriptor of ours it keeps.
    page->process->setChildProcessModifier([childEnd] { ::fcntl(childEnd, F_SETFD, 0); });
    page->process->start();
    ::close(childEnd);
    if (!page->process->waitForStarted(5000)) {
        qWarning("velk-dvr-host: cannot start a page process: %s", qPrintable(page->process->errorString()));
        ::close(hostEnd);
        delete page->process;
        return nullptr;
    }

    PageProcess* raw = page.get();
    page->notifier = new QSocketNotifier(hostEnd, QSocketNotifier::Read, this);
    connect(page->notifier, &QSocketNotifier::activated, this, [this, raw] { onChannelReadable(raw); });
    connect(page->process, &QProcess::finished, this, [this, raw](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            qWarning("velk-dvr-host: a page process ended (%s, code %d)",
                     status == QProcess::NormalExit ? "exit" : "crash", code);
        forget(raw);
    });
    m_processes.push_back(std::move(page));
    qInfo("velk-dvr-host: page process %lld started (%d pages)", static_cast<long long>(raw->process->processId()),
          pageCount());
    return raw;
}

bool PageBroker::handOver(PageProcess& process, WebSocketConnection* connection, bool resumed)
{
    int fd = -1;
    pagechannel::AdoptRequest adopt;
    if (!connection->handOver(fd, adopt.pending)) {
        connection->close(ws::kInternalError, QStringLiteral("the connection could not be handed over"));
        return false;
    }
    adopt.resumed = resumed;
    adopt.resumeId = process.resumeId;
    const bool sent = pagechannel::send(process.channel, pagechannel::Kind::Adopt, pagechannel::encodeAdopt(adopt), fd);
    ::close(fd);  // the page process has its own copy now, or the page is cut
    if (!sent)
        qWarning("velk-dvr-host: a page could not be handed to its process");
    return sent;
}

void PageBroker::onChannelReadable(PageProcess* process)
{
    pagechannel::Message message;
    for (;;) {
        switch (pagechannel::receive(process->channel, message)) {
        case pagechannel::ReceiveResult::Nothing:
            return;
        case pagechannel::ReceiveResult::End:
            // The process is ending or broke the protocol: take no more
            // pages there; its end removes it.
            process->state = PageProcess::State::Ending;
            process->notifier->setEnabled(false);
            return;
        case pagechannel::ReceiveResult::Message:
            if (message.kind == pagechannel::Kind::Detached && process->state == PageProcess::State::Attached) {
                process->state = PageProcess::State::Detached;
                // A reload waiting for this page to go gets the control now.
                for (std::size_t i = 0; i < m_waiting.size(); ++i) {
                    if (m_waiting[i].process == process) {
                        endWait(i, /*resume=*/true);
                        break;
                    }
                }
            } else if (message.kind == pagechannel::Kind::Ending) {
                process->state = PageProcess::State::Ending;
            }
            break;
        }
    }
}

void PageBroker::forget(PageProcess* process)
{
    const auto found = std::find_if(m_processes.begin(), m_processes.end(),
                                    [process](const auto& p) { return p.get() == process; });
    if (found == m_processes.end())
        return;
    std::unique_ptr<PageProcess> page = std::move(*found);
    m_processes.erase(found);
    // Pages waiting for this control get one of their own.
    for (std::size_t i = 0; i < m_waiting.size();) {
        if (m_waiting[i].process == process)
            endWait(i, /*resume=*/false);
        else
            ++i;
    }
    delete page->notifier;
    ::close(page->channel);
    page->process->disconnect(this);
    page->process->deleteLater();
}

void PageBroker::shutDown(int waitMs)
{
    m_shuttingDown = true;
    while (!m_waiting.empty())
        endWait(0, /*resume=*/false);  // closed: the host is ending
    for (const auto& page : m_processes)
        pagechannel::send(page->channel, pagechannel::Kind::Shutdown);
    const QDeadlineTimer deadline(waitMs);
    while (!m_processes.empty()) {
        PageProcess* page = m_processes.front().get();
        if (!page->process->waitForFinished(static_cast<int>(std::max<qint64>(0, deadline.remainingTime())))) {
            qWarning("velk-dvr-host: a page process did not end in time; killed");
            page->process->kill();
            page->process->waitForFinished(1000);
        }
        forget(page);
    }
}

}  // namespace host
