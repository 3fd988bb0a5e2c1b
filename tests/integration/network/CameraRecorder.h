// SPDX-License-Identifier: GPL-3.0-or-later
// A velk-recorder running in the test's process on its own I/O thread, with
// camera channels whose feeds the test fills itself (no source): frames and
// losses are handed over on the I/O thread, as a source does.
#pragma once

#include "CameraTestMedia.h"

#include "CameraFeed.h"
#include "Recorder.h"
#include "RecorderOptions.h"

#include <boost/asio.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace nettest {

inline std::int64_t systemNowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class TestDataFolder {
public:
    TestDataFolder()
    {
        char pattern[] = "/tmp/velk-camera-test-XXXXXX";
        if (const char* dir = ::mkdtemp(pattern))
            m_path = dir;
    }
    ~TestDataFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

class CameraRecorder {
public:
    // Camera channels: (channel, has a sub stream).
    explicit CameraRecorder(std::vector<std::pair<std::uint32_t, bool>> cameras, std::string dataDir = {},
                            std::uint32_t historyDays = 0, bool encodeAhead = false)
    {
        velk::recorder::RecorderOptions options;
        options.devicePort = 0;
        options.httpPort = 0;
        options.channels = 4;
        options.users.push_back({"admin", "admin"});
        options.heartbeatTimeoutMs = 120000;  // the raw clients send no heartbeats
        options.dataDir = std::move(dataDir);
        options.historyDays = historyDays;
        options.encodeAhead = encodeAhead;
        for (const auto& [channel, sub] : cameras)
            options.sources.push_back({channel, "test", sub ? "test-sub" : "", ""});
        m_recorder = std::make_unique<velk::recorder::Recorder>(m_io, std::move(options));
        std::string message;
        m_started = m_recorder->start(message);
        EXPECT_TRUE(m_started) << message;
        m_thread = std::thread([this] { m_io.run(); });
    }
    ~CameraRecorder()
    {
        onIo([this] { m_recorder->stop(); });
        m_work.reset();
        m_io.stop();
        m_thread.join();
        m_recorder.reset();
    }

    velk::recorder::Recorder& recorder() { return *m_recorder; }
    std::uint16_t devicePort() const { return m_recorder->devicePort(); }
    std::uint16_t httpPort() const { return m_recorder->httpPort(); }

    // Runs work on the I/O thread and waits for its result.
    template <typename Work>
    auto onIo(Work work) -> std::invoke_result_t<Work>
    {
        std::packaged_task<std::invoke_result_t<Work>()> task(std::move(work));
        auto result = task.get_future();
        boost::asio::post(m_io, [&task] { task(); });
        return result.get();
    }

    void publish(std::uint32_t channel, std::uint32_t streamType, const velk::recorder::CameraFormat& format, bool key,
                 std::vector<std::uint8_t> annexB, std::int64_t wallMs)
    {
        velk::recorder::CameraFrame frame;
        frame.key = key;
        frame.wallMs = wallMs;
        frame.annexB = std::make_shared<const std::vector<std::uint8_t>>(std::move(annexB));
        onIo([&] { m_recorder->cameras().find(channel, streamType)->publish(format, frame); });
    }
    void markLost(std::uint32_t channel, std::uint32_t streamType)
    {
        onIo([&] { m_recorder->cameras().find(channel, streamType)->markLost("gone"); });
    }

private:
    boost::asio::io_context m_io;
    std::unique_ptr<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>> m_work =
        std::make_unique<boost::asio::executor_work_guard<boost::asio::io_context::executor_type>>(m_io.get_executor());
    std::unique_ptr<velk::recorder::Recorder> m_recorder;
    std::thread m_thread;
    bool m_started = false;
};

}  // namespace nettest
