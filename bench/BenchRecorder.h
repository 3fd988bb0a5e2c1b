// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh velk-recorder for one benchmark run, on free loopback ports, with
// its process id so that its CPU time can be reported beside ours.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>

namespace bench {

class BenchRecorder {
public:
    static constexpr const char* kUser = "bench";
    static constexpr const char* kPassword = "bench";

    BenchRecorder() = default;
    ~BenchRecorder();
    BenchRecorder(const BenchRecorder&) = delete;
    BenchRecorder& operator=(const BenchRecorder&) = delete;

    // Starts the recorder (VELK_RECORDER, else the one built beside this
    // program) with the bench user and the extra arguments; false with a
    // message on stderr when it did not report its ports. UI thread.
    bool start(const QStringList& arguments = {});
    void stop();

    std::uint16_t devicePort() const { return m_devicePort; }
    std::uint16_t httpPort() const { return m_httpPort; }
    qint64 pid() const { return m_process.processId(); }
    // CPU time the recorder has used so far.
    std::uint64_t cpuUs() const;
    // GET /sim/status: the recorder's JSON answer; empty when it failed.
    QJsonObject status() const;
    // One HTTP request to the recorder's web port: the answer's JSON
    // object; empty when it failed or was not JSON.
    QJsonObject request(const QByteArray& method, const QByteArray& path, const QByteArray& body = {}) const;
    // Waits until at least loopCount loops are made and every loop is
    // fully encoded (after --encode-ahead); false on timeout. UI thread.
    bool waitForLoops(int loopCount, int timeoutMs) const;

private:
    QProcess m_process;
    QTemporaryDir m_data;
    std::uint16_t m_devicePort = 0;
    std::uint16_t m_httpPort = 0;
};

}  // namespace bench
