// SPDX-License-Identifier: GPL-3.0-or-later
// The network library's download commands faked for the backup tests:
// installed with setCommandFunction in front of the recording fake, it
// answers DOWNLOADVIDEO, GETPROGRESS and STOPCOMMAND as the test says and
// passes every other command on. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake_downloads {

struct Download {
    std::uint32_t handle = 0;  // 0 when DOWNLOADVIDEO gave none
    std::string deviceFileName;
    std::string saveFileName;
    std::string startTime;
    std::string endTime;
};

// Installs the fake with every answer at its default: DOWNLOADVIDEO result 0
// with a fresh handle, not blocking; a new handle answers STATE 1 with 512
// of 2048 bytes.
void install();
// Releases what blocks and puts the previous command function back.
void uninstall();

// The results of the next DOWNLOADVIDEO calls, in order (then 0 again);
// result 0 with handle false gives no handle.
void queueDownloadResult(std::int32_t result, bool handle = true);
// DOWNLOADVIDEO calls wait until release() while blocking is on.
void setBlocking(bool blocking);
void release();
// GETPROGRESS calls wait until releaseProgress() while this is on.
void setProgressBlocking(bool blocking);
void releaseProgress();
// What GETPROGRESS answers for a handle (result 0 with this text).
void setProgress(std::uint32_t handle, std::uint32_t state, std::uint64_t total, std::uint64_t got);
// What a handle DOWNLOADVIDEO gives from now on answers first.
void setFirstAnswer(std::uint32_t state, std::uint64_t total, std::uint64_t got);
// GETPROGRESS answers this result without a text for every handle (0 again: the texts).
void setProgressResult(std::int32_t result);

std::vector<std::string> keys();            // KEY of every command, in order
std::vector<Download> downloads();          // every DOWNLOADVIDEO, in order
int blockedDownloads();                     // DOWNLOADVIDEO calls waiting now
std::vector<std::uint32_t> stopped();       // HCOM of every STOPCOMMAND, in order
int polls(std::uint32_t handle);            // GETPROGRESS calls for a handle
int blockedPolls();                         // GETPROGRESS calls waiting now

}  // namespace fake_downloads
