// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecorderProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

extern char** environ;

namespace nettest {

namespace {

pid_t spawnRecorder(const std::vector<std::string>& args, int* stdoutFd)
{
    std::vector<std::string> argvText;
    argvText.push_back(VELK_RECORDER_PATH);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return -1;
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (stdoutFd) {
        ::close(pipeFds[1]);
        *stdoutFd = pipeFds[0];
    }
    return rc == 0 ? pid : -1;
}

int waitForExit(pid_t pid, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0 || std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

}  // namespace

RecorderProcess::RecorderProcess(const std::vector<std::string>& extraArgs)
{
    char pattern[] = "/tmp/velk-net-test-XXXXXX";
    if (const char* dir = ::mkdtemp(pattern))
        m_dataDir = dir;
    std::vector<std::string> args = {"--port", "0", "--http-port", "0", "--data", m_dataDir};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    m_pid = spawnRecorder(args, &m_stdoutFd);
    if (m_pid < 0)
        return;

    // Read the first line, waiting at most a few seconds for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_firstLine.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_stdoutFd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char c = 0;
        if (::read(m_stdoutFd, &c, 1) != 1)
            break;
        m_firstLine.push_back(c);
    }
    std::smatch match;
    static const std::regex lineFormat("^velk-recorder: device port ([0-9]+) http port ([0-9]+)\n$");
    if (std::regex_match(m_firstLine, match, lineFormat)) {
        m_devicePort = static_cast<std::uint16_t>(std::stoi(match[1].str()));
        m_httpPort = static_cast<std::uint16_t>(std::stoi(match[2].str()));
    }
}

RecorderProcess::~RecorderProcess()
{
    stop();
    if (m_stdoutFd >= 0)
        ::close(m_stdoutFd);
    if (!m_dataDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dataDir, ignored);
    }
}

int RecorderProcess::stop()
{
    if (m_pid < 0)
        return -1;
    ::kill(m_pid, SIGTERM);
    ::kill(m_pid, SIGCONT);  // a suspended recorder must run to end
    int status = waitForExit(m_pid, 5000);
    if (status < 0) {
        ::kill(m_pid, SIGKILL);
        status = waitForExit(m_pid, 5000);
    }
    m_pid = -1;
    return status;
}

int RecorderProcess::killHard()
{
    if (m_pid < 0)
        return -1;
    ::kill(m_pid, SIGKILL);
    const int status = waitForExit(m_pid, 5000);
    m_pid = -1;
    return status;
}

bool RecorderProcess::suspend()
{
    return m_pid >= 0 && ::kill(m_pid, SIGSTOP) == 0;
}

bool RecorderProcess::resume()
{
    return m_pid >= 0 && ::kill(m_pid, SIGCONT) == 0;
}

int runRecorderForExitCode(const std::vector<std::string>& args, int timeoutMs)
{
    const pid_t pid = spawnRecorder(args, nullptr);
    if (pid < 0)
        return -1;
    const int status = waitForExit(pid, timeoutMs);
    if (status < 0) {
        ::kill(pid, SIGKILL);
        waitForExit(pid, timeoutMs);
    }
    return status;
}

std::uint16_t unusedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t length = sizeof addr;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

}  // namespace nettest
