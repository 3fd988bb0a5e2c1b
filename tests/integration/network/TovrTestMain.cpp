// SPDX-License-Identifier: GPL-3.0-or-later
// Short library timeouts so that failure paths take a second, not five,
// and a trace file for the trace test. Set before the library starts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

std::string tovrTracePath()
{
    static const std::string path = "/tmp/velk-tovr-trace-" + std::to_string(::getpid()) + ".txt";
    return path;
}

int main(int argc, char** argv)
{
    ::setenv("TOVR_CONNECT_TIMEOUT_MS", "1500", 1);
    ::setenv("TOVR_REQUEST_TIMEOUT_MS", "1500", 1);
    ::setenv("TOVR_HEARTBEAT_INTERVAL_MS", "200", 1);
    ::setenv("TOVR_HEARTBEAT_TIMEOUT_MS", "1000", 1);
    ::setenv("TOVR_RECONNECT_DELAY_MS", "100", 1);
    ::setenv("TOVR_STREAM_OFFLINE_MS", "1500", 1);
    ::setenv("TOVR_TRACE", tovrTracePath().c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    ::unlink(tovrTracePath().c_str());
    return result;
}
