// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/StdinReader.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace host {

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void writeByte(int fd)
{
    const char byte = 1;
    while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

StdinReader::StdinReader(int fd, Callbacks callbacks) : m_fd(fd), m_callbacks(std::move(callbacks)) {}

StdinReader::~StdinReader()
{
    stop();
}

bool StdinReader::start()
{
    int wake[2];
    int stopPipe[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) {
        ::close(wake[0]);
        ::close(wake[1]);
        return false;
    }
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    m_stopRead = stopPipe[0];
    m_stopWrite = stopPipe[1];
    m_notifier = new QSocketNotifier(m_wakeRead, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { deliver(); });
    m_thread = std::thread([this] { run(); });
    return true;
}

void StdinReader::stop()
{
    if (m_thread.joinable()) {
        m_stopping.store(true);
        writeByte(m_stopWrite);
        m_thread.join();
    }
    if (m_notifier != nullptr) {
        m_notifier->setEnabled(false);
        if (m_deliveryDepth > 0)
            m_notifier->deleteLater();  // stopped from inside its own signal
        else
            delete m_notifier;
        m_notifier = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_queue.clear();
    }
    closeFd(m_wakeRead);
    closeFd(m_wakeWrite);
    closeFd(m_stopRead);
    closeFd(m_stopWrite);
}

void StdinReader::push(Item item)
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_queue.push_back(std::move(item));
    }
    writeByte(m_wakeWrite);
}

void StdinReader::deliver()
{
    char drain[256];
    while (::read(m_wakeRead, drain, sizeof drain) > 0) {
    }
    ++m_deliveryDepth;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{m_deliveryDepth};
    for (;;) {
        Item item;
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            if (m_queue.empty())
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
            // A call may run a nested event loop (a modal dialog): wake it
            // for the lines behind this one so they are served meanwhile.
            if (!m_queue.empty())
                writeByte(m_wakeWrite);
        }
        switch (item.kind) {
        case Item::Kind::Line:
            if (m_callbacks.line)
                m_callbacks.line(item.line);
            break;
        case Item::Kind::Overlong:
            if (m_callbacks.overlong)
                m_callbacks.overlong();
            break;
        case Item::Kind::End:
            if (m_callbacks.end)
                m_callbacks.end();
            break;
        }
        if (m_notifier == nullptr)
            return;  // stopped from inside a callback
    }
}

void StdinReader::run()
{
    QByteArray pending;
    bool dropping = false;  // inside an overlong line: skip to its end
    char buffer[64 * 1024];

    const auto emitLine = [this](const QByteArray& text) {
        const qsizetype size = text.endsWith('\r') ? text.size() - 1 : text.size();
        push(Item{Item::Kind::Line, QByteArray(text.constData(), size)});
    };

    while (!m_stopping.load()) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stopRead, POLLIN, 0}};
        const int ready = ::poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0)
            return;  // stop() asked: no end report
        if (fds[0].revents == 0)
            continue;
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;  // end of input or an error

        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            if (buffer[i] != '\n')
                continue;
            if (!dropping) {
                pending.append(buffer + start, i - start);
                emitLine(pending);
            }
            pending.clear();
            dropping = false;
            start = i + 1;
        }
        if (!dropping) {
            pending.append(buffer + start, n - start);
            if (static_cast<std::size_t>(pending.size()) > kMaxLineBytes) {
                pending.clear();
                dropping = true;
                push(Item{Item::Kind::Overlong, QByteArray()});
            }
        }
    }
    if (!dropping && !pending.isEmpty())
        emitLine(pending);
    push(Item{Item::Kind::End, QByteArray()});
}

}  // namespace host
