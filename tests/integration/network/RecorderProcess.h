// SPDX-License-Identifier: GPL-3.0-or-later
// A velk-recorder child process on loopback with ports chosen by the
// system, read from the first line it prints.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace nettest {

class RecorderProcess {
public:
    // Starts the recorder with --port 0 --http-port 0, a fresh data folder
    // and the extra arguments. started() tells whether it came up.
    explicit RecorderProcess(const std::vector<std::string>& extraArgs = {});
    ~RecorderProcess();

    RecorderProcess(const RecorderProcess&) = delete;
    RecorderProcess& operator=(const RecorderProcess&) = delete;

    bool started() const { return m_devicePort != 0 && m_httpPort != 0; }
    std::uint16_t devicePort() const { return m_devicePort; }
    std::uint16_t httpPort() const { return m_httpPort; }
    const std::string& firstLine() const { return m_firstLine; }

    // SIGTERM, then waits; returns the exit status (or -1).
    int stop();
    // SIGKILL, as a crash or a power cut: nothing is closed in order.
    int killHard();
    // SIGSTOP / SIGCONT: the recorder hangs with its connections open.
    bool suspend();
    bool resume();
    pid_t pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_stdoutFd = -1;
    std::uint16_t m_devicePort = 0;
    std::uint16_t m_httpPort = 0;
    std::string m_firstLine;
    std::string m_dataDir;
};

// Runs velk-recorder with these arguments and returns its exit code (or -1
// when it did not end within timeoutMs).
int runRecorderForExitCode(const std::vector<std::string>& args, int timeoutMs = 5000);

// A loopback TCP port that nothing listens on right now.
std::uint16_t unusedLoopbackPort();

}  // namespace nettest
