// SPDX-License-Identifier: GPL-3.0-or-later
// One running local recording of a live channel, without any window: the
// open record file, its name, the 1024 bytes before the first block, the
// split into a new file after the pack time, and finishing a file (deleted
// when shorter than 10240 bytes, else its header written from a scan).
//
// Not thread-safe by itself: the video window holds it under its record
// lock. The clock is injected so that splitting can be tested without
// waiting.
#pragma once

#include "proto/RecordFile.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <functional>

namespace preview {

struct RecordClock {
    // Milliseconds of a 32-bit tick counter that wraps.
    std::function<std::uint32_t()> tickMs;
    // The local time that names a new file.
    std::function<QDateTime()> localNow;

    // The system's tick count and local time.
    static RecordClock system();
};

class LocalRecording {
public:
    static constexpr int kDefaultPackMinutes = 30;
    // Longest pack time whose length in milliseconds fits the tick counter.
    static constexpr int kMaxPackMinutes = 71582;

    // What a write did.
    enum class WriteOutcome {
        Written,      // the block is in the file
        Split,        // the pack time was over: a new file was started and took the block
        NoFile,       // nothing open: nothing written
        Stopped,      // a write error, or no new file after a split: the recording ended
    };

    explicit LocalRecording(RecordClock clock = RecordClock::system());
    ~LocalRecording();  // finishes an open file

    LocalRecording(const LocalRecording&) = delete;
    LocalRecording& operator=(const LocalRecording&) = delete;

    // The pack time in minutes from a settings text: its leading decimal
    // digits; 0, no digits or a sign keep the default; at most kMaxPackMinutes.
    static int packMinutesFrom(const QString& text);

    // Creates the folders and the file for a 0-based channel; the pack time
    // is asked for now and at every split. False when no file could be
    // created (nothing is open then).
    bool start(const QString& root, const QString& address, int port, int channel,
               std::function<int()> packMinutes);
    // The write step for one data block of the stream.
    WriteOutcome write(const std::uint8_t* data, std::size_t length);
    // Finishes the file: 0, or -1 when it was shorter than 10240 bytes and
    // was deleted (also 0 when nothing was open).
    int stop();

    bool isOpen() const { return m_file != nullptr; }
    // The path of the open file, or of the last one.
    const QString& path() const { return m_path; }
    // Whether the last finished file got its header.
    bool lastHeaderWritten() const { return m_lastHeaderWritten; }

private:
    bool openFile();
    int finishFile();

    RecordClock m_clock;
    std::FILE* m_file = nullptr;
    bool m_headerPending = false;
    QString m_path;
    QString m_root;
    QString m_address;
    int m_port = 80;
    int m_channel = 0;
    int m_packMinutes = kDefaultPackMinutes;
    std::uint32_t m_startTickMs = 0;
    std::function<int()> m_packSource;
    bool m_lastHeaderWritten = false;
};

}  // namespace preview
