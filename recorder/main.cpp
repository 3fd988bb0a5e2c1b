// SPDX-License-Identifier: GPL-3.0-or-later
// velk-recorder: a recorder simulator for the device protocol and the
// recorder's web page. Every socket and timer runs on the main thread's
// io_context; the media library encodes its loops on threads of its own,
// and each camera source (--source) reads on a thread of its own.
#include "Recorder.h"
#include "RecorderOptions.h"

#include <boost/asio.hpp>

extern "C" {
#include <libavutil/log.h>
}

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char** argv)
{
    using namespace velk::recorder;

    RecorderOptions options;
    std::string message;
    switch (parseOptions(argc, argv, options, message)) {
    case ParseOutcome::Help:
        std::cout << usageText();
        return 0;
    case ParseOutcome::Error:
        std::cerr << "velk-recorder: " << message << "\n" << usageText();
        return 2;
    case ParseOutcome::Run:
        break;
    }

    std::error_code error;
    if (options.dataDir.empty())
        options.dataDir = defaultDataFolder();
    std::filesystem::create_directories(options.dataDir, error);
    if (error || !std::filesystem::is_directory(options.dataDir, error)) {
        std::cerr << "velk-recorder: cannot create data folder " << options.dataDir << "\n";
        return 1;
    }
    if (options.webDir.empty()) {
        options.webDir = defaultWebFolder();
    } else if (!std::filesystem::is_directory(options.webDir, error)) {
        std::cerr << "velk-recorder: --web " << options.webDir << " is not a folder\n";
        return 2;
    }

    // The encoder's statistics and notes are not for the terminal.
    av_log_set_level(AV_LOG_ERROR);
    // Writes to a closed connection must fail, not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    boost::asio::io_context io;
    Recorder recorder(io, options);
    if (!recorder.start(message) || !recorder.startSources(message)) {
        std::cerr << "velk-recorder: " << message << "\n";
        return 1;
    }

    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const boost::system::error_code& signalError, int) {
        if (signalError)
            return;
        recorder.stop();
        io.stop();
    });

    std::printf("velk-recorder: device port %u http port %u\n", unsigned(recorder.devicePort()),
                unsigned(recorder.httpPort()));
    std::fflush(stdout);

    io.run();
    return 0;
}
