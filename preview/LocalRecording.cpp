// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/LocalRecording.h"

#include "platform/Debug.h"
#include "platform/LocalFolder.h"
#include "platform/Profile.h"
#include "platform/Sync.h"
#include "platform/Text.h"
#include "preview/RecordFileName.h"

#include <sys/stat.h>

#include <QFile>

#include <algorithm>
#include <array>

namespace preview {

namespace {

constexpr std::uint32_t kMsPerMinute = 60000;

// A file started in the same second as an earlier one (a split or a
// reconnect right after a start) must not truncate it: the new one gets
// "_2", "_3", ... before its extension.
QString unusedPath(const QString& path)
{
    if (path.isEmpty() || !QFile::exists(path))
        return path;
    const QString stem = path.chopped(4);  // without ".264"
    for (int n = 2; n < 1000; ++n) {
        const QString candidate = stem + QLatin1Char('_') + QString::number(n) + QStringLiteral(".264");
        if (!QFile::exists(candidate))
            return candidate;
    }
    return {};
}

}  // namespace

RecordClock RecordClock::system()
{
    return {[] { return platform::tickCount(); }, [] { return QDateTime::currentDateTime(); }};
}

LocalRecording::LocalRecording(RecordClock clock) : m_clock(std::move(clock)) {}

LocalRecording::~LocalRecording()
{
    stop();
}

int LocalRecording::packMinutesFrom(const QString& text)
{
    long long minutes = 0;
    int digits = 0;
    for (QChar ch : text.trimmed()) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9'))
            break;
        minutes = std::min<long long>(minutes * 10 + (ch.unicode() - '0'), kMaxPackMinutes);
        ++digits;
    }
    return digits == 0 || minutes == 0 ? kDefaultPackMinutes : static_cast<int>(minutes);
}

bool LocalRecording::start(const QString& root, const QString& address, int port, int channel,
                           std::function<int()> packMinutes)
{
    if (m_file != nullptr)
        return true;
    m_root = root;
    m_address = address;
    m_port = port;
    m_channel = channel;
    m_packSource = std::move(packMinutes);
    return openFile();
}

bool LocalRecording::openFile()
{
    m_packMinutes = m_packSource ? std::clamp(m_packSource(), 1, kMaxPackMinutes) : kDefaultPackMinutes;
    m_startTickMs = m_clock.tickMs();
    m_path = unusedPath(recordFilePath(m_root, m_address, m_port, m_channel, m_clock.localNow()));
    if (m_path.isEmpty()) {
        platform::debugPrintf("Record, folder unusable: %s \n",
                              platform::describe(platform::localFolderOf(m_root).problem));
        return false;
    }
    const std::string narrow = platform::toUtf8(m_path);
    platform::createFoldersOf(narrow);
    m_headerPending = true;
    m_file = std::fopen(narrow.c_str(), "w+b");
    if (m_file == nullptr) {
        platform::debugPrintf("Record, cannot create %s \n", narrow.c_str());
        return false;
    }
    // Unbuffered: a block is on disk when its write returns, so a write
    // error leaves exactly the data that got there and nothing pending
    // that could fail again later (blocks are whole frames, written once).
    std::setvbuf(m_file, nullptr, _IONBF, 0);
    return true;
}

LocalRecording::WriteOutcome LocalRecording::write(const std::uint8_t* data, std::size_t length)
{
    if (m_file == nullptr || data == nullptr || length == 0)
        return WriteOutcome::NoFile;
    WriteOutcome outcome = WriteOutcome::Written;
    const std::uint32_t elapsedMs = m_clock.tickMs() - m_startTickMs;
    if (elapsedMs >= static_cast<std::uint32_t>(m_packMinutes) * kMsPerMinute) {
        finishFile();
        if (!openFile())
            return WriteOutcome::Stopped;
        outcome = WriteOutcome::Split;
    }
    if (m_headerPending) {
        static const std::array<std::uint8_t, recordfile::kDataOffset> zeros{};
        if (std::fwrite(zeros.data(), 1, zeros.size(), m_file) != zeros.size()) {
            finishFile();
            return WriteOutcome::Stopped;
        }
        m_headerPending = false;
    }
    if (std::fwrite(data, 1, length, m_file) != length) {
        // A full disk or an I/O error: keep what got there, finished.
        platform::debugPrintf("Record, write error on %s \n", platform::toUtf8(m_path).c_str());
        finishFile();
        return WriteOutcome::Stopped;
    }
    return outcome;
}

int LocalRecording::stop()
{
    return finishFile();
}

int LocalRecording::finishFile()
{
    if (m_file == nullptr)
        return 0;
    std::FILE* file = m_file;
    m_file = nullptr;
    m_lastHeaderWritten = false;
    std::clearerr(file);
    struct stat info {};
    const bool sized = ::fstat(::fileno(file), &info) == 0;
    if (!sized || static_cast<std::uint64_t>(info.st_size) < recordfile::kMinKeptBytes) {
        std::fclose(file);
        QFile::remove(m_path);
        return -1;
    }
    recordfile::FileSource source(file);
    const recordfile::HeaderFields fields = recordfile::scanHeaderFields(source, m_channel);
    m_lastHeaderWritten = recordfile::writeHeader(file, recordfile::buildHeader(fields));
    if (std::fclose(file) != 0)
        m_lastHeaderWritten = false;
    return 0;
}

}  // namespace preview
