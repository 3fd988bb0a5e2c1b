// SPDX-License-Identifier: GPL-3.0-or-later
// A velk-recorder started on loopback for one test, on ports of its choosing.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>

class RecorderProcess {
public:
    static QString programPath();
    static bool available();

    // Starts the recorder with one user; false when it did not report its ports.
    bool start(const QString& user, const QString& password);
    ~RecorderProcess();

    std::uint16_t devicePort() const { return m_devicePort; }
    std::uint16_t httpPort() const { return m_httpPort; }

    // POST /sim/notify?kind=N: the recorder notifies every logged-in client.
    bool notify(std::uint32_t kind);

private:
    QProcess m_process;
    QTemporaryDir m_data;
    std::uint16_t m_devicePort = 0;
    std::uint16_t m_httpPort = 0;
};

// The page's form of a password: DES-enciphered under the shared key,
// padded with zero bytes to whole blocks, as hexadecimal text.
QString passwordText(const QByteArray& password);
