// SPDX-License-Identifier: GPL-3.0-or-later
#include "Download.h"

#include "DownloadMessages.h"

#include "TOVR.h"

#include "proto/DetailCode.h"

namespace velk::tovr {

namespace {

// Slack on top of the library's own timeouts before a waiting caller gives
// up by itself; the I/O thread normally answers well before.
constexpr std::chrono::milliseconds kWaitSlack{1000};
// How long a stop waits for the I/O thread to let go of the connection.
constexpr std::chrono::milliseconds kCloseWait{1000};

}  // namespace

Download::Download(asio::io_context& io, const LibraryConfig& config, std::shared_ptr<DeviceConnection> device,
                   DownloadParams params)
    : m_io(io), m_config(config), m_device(std::move(device)), m_params(std::move(params))
{
}

Download::~Download() = default;

bool Download::createFile()
{
    std::weak_ptr<Download> weak = weak_from_this();
    asio::io_context& io = m_io;
    m_file = DownloadFile::create(
        m_params.savePath,
        [weak](bool complete) {
            if (auto self = weak.lock())
                self->onFileEnded(complete);
        },
        [weak, &io] {
            asio::post(io, [weak] {
                auto self = weak.lock();
                if (self && self->m_phase == Phase::Receiving && self->m_connection)
                    self->m_connection->resumeReading();
            });
        });
    return m_file != nullptr;
}

CommandOutcome Download::open()
{
    auto self = shared_from_this();
    asio::post(m_io, [self] { self->beginOpen(); });
    const auto outcome = m_openDone->waitFor(m_config.connectTimeout + m_config.requestTimeout + kWaitSlack);
    if (outcome)
        return *outcome;
    asio::post(m_io, [self] { self->fail(); });
    return CommandOutcome{TOVR_ERR_TIMEOUT, 0};
}

DownloadProgress Download::progress() const
{
    DownloadProgress p;
    p.state = m_state.load();
    p.error = m_error.load();
    p.receivedBytes = m_received.load();
    p.totalBytes = m_total.load();
    return p;
}

void Download::shutdown()
{
    m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    // The writer first: once it has ended, nothing more reaches the disk
    // and an incomplete file is gone.
    if (m_file) {
        m_file->abort();
        m_file->join();
    }
    auto closed = std::make_shared<Completion<bool>>();
    auto self = shared_from_this();
    asio::post(m_io, [self, closed] {
        self->m_phase = Phase::Over;
        self->dropConnection();
        self->m_device->removeListener(self.get());
        closed->set(true);
    });
    closed->waitFor(kCloseWait);
}

void Download::beginOpen()
{
    if (m_phase != Phase::Opening)
        return;
    if (!m_device->online() || !m_device->addListener(weak_from_this())) {
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
        fail();
        return;
    }
    auto connection = std::make_shared<MediaConnection>(m_io, m_config);
    m_connection = connection;
    DownloadOpenRequest request;
    request.session = m_device->session();
    request.file = m_params.deviceFileName;
    request.start = m_params.start;
    request.end = m_params.end;
    std::weak_ptr<Download> weak = weak_from_this();
    connection->waitPastExchange([weak] {
        if (auto self = weak.lock())
            self->onLate();
    });
    const LoginCredentials& where = m_device->credentials();
    connection->open(where.host, where.port, kMethodOpenDownload, toJson(request),
                     [weak, connection](MediaOutcome outcome) {
                         if (auto self = weak.lock())
                             self->onOpened(connection, outcome);
                         else if (outcome.result == TOVR_OK)
                             connection->close();
                     });
}

void Download::onLate()
{
    if (m_phase != Phase::Opening)
        return;
    // The recorder is slow to start: the caller gets its handle now, with
    // the download not ready yet.
    m_answeredLate = true;
    m_openDone->set(CommandOutcome{TOVR_OK, 0});
}

void Download::onOpened(const std::shared_ptr<MediaConnection>& connection, const MediaOutcome& outcome)
{
    if (connection != m_connection || m_phase != Phase::Opening) {
        if (outcome.result == TOVR_OK)
            connection->close();
        return;
    }
    std::optional<DownloadInfo> info;
    if (outcome.result == TOVR_OK)
        info = readDownloadInfo(outcome.body);
    if (!info) {
        // Refused, or an answer that is not this protocol.
        const CommandOutcome failed = outcome.result == TOVR_OK ? CommandOutcome{TOVR_ERR_BROKEN, 0}
                                                                : CommandOutcome{outcome.result, outcome.detail};
        m_openDone->set(failed);
        fail(failed.result == TOVR_ERR_DEVICE ? failed.detail : 0);
        return;
    }
    m_total.store(info->bytes);
    m_channel = info->channel;
    if (info->bytes == 0) {
        // A range without a frame makes no clip.
        m_openDone->set(CommandOutcome{TOVR_OK, 0});
        fail();
        return;
    }
    m_phase = Phase::Receiving;
    DownloadState expected = DownloadState::NotReady;
    m_state.compare_exchange_strong(expected, DownloadState::Running);
    std::weak_ptr<Download> weak = weak_from_this();
    // The frames come in runs, straight from the read buffer into the file's queue.
    m_connection->setMediaRunHandler([weak](std::span<const std::string_view> payloads) {
        if (auto self = weak.lock())
            self->onMedia(payloads);
    });
    m_connection->setHandlers(
        nullptr,
        [weak](const proto::Message& notification) {
            if (auto self = weak.lock())
                self->onNotify(notification);
        },
        [weak](int) {
            if (auto self = weak.lock()) {
                self->m_connection.reset();
                self->fail();
            }
        });
    m_openDone->set(CommandOutcome{TOVR_OK, 0});
}

void Download::onMedia(std::span<const std::string_view> payloads)
{
    if (m_phase != Phase::Receiving)
        return;
    std::uint64_t bytes = 0;
    for (const std::string_view payload : payloads)
        bytes += payload.size();
    const std::uint64_t received = m_received.load() + bytes;
    m_received.store(received);
    if (received > m_total.load()) {
        fail();  // more than announced: not the clip that was asked for
        return;
    }
    if (!m_file->append(payloads) && m_connection)
        m_connection->holdReading();
}

void Download::onNotify(const proto::Message& notification)
{
    if (m_phase != Phase::Receiving)
        return;
    if (notification.name == kEventDownloadEnd) {
        if (m_received.load() != m_total.load()) {
            fail();
            return;
        }
        // The recorder keeps the connection until the client closes it.
        m_phase = Phase::Finishing;
        dropConnection();
        m_file->finish(static_cast<int>(m_channel));
    } else if (notification.name == kEventDownloadError) {
        const auto code = proto::readStreamError(notification.body).value_or(proto::kDetailInternal);
        fail(static_cast<std::uint32_t>(code));
    }
}

void Download::fail(std::uint32_t detail)
{
    if (m_phase == Phase::Over || m_phase == Phase::Finishing)
        return;
    m_phase = Phase::Over;
    if (detail != 0)
        m_error.store(detail);
    dropConnection();
    m_device->removeListener(this);
    // The writer removes the file, then reports the failure.
    if (m_file)
        m_file->abort();
}

void Download::dropConnection()
{
    if (m_connection) {
        auto connection = std::move(m_connection);
        connection->close();
    }
}

void Download::onFileEnded(bool complete)
{
    m_state.store(complete ? DownloadState::Done : DownloadState::Failed);
    if (complete)
        return;
    // A write error: the connection goes too.
    std::weak_ptr<Download> weak = weak_from_this();
    asio::post(m_io, [weak] {
        if (auto self = weak.lock())
            self->fail();
    });
}

void Download::onDeviceLost()
{
    onDeviceClosed(false);
}

void Download::onDeviceClosed(bool)
{
    if (m_phase == Phase::Opening)
        m_openDone->set(CommandOutcome{TOVR_ERR_BROKEN, 0});
    fail();
}

}  // namespace velk::tovr
