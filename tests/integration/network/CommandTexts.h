// SPDX-License-Identifier: GPL-3.0-or-later
// Command texts for libTOVR as the control writes them, and a short way to
// send them.
#pragma once

#include <cstdint>
#include <string>

namespace nettest {

std::string loginText(std::uint16_t port, const std::string& user, const std::string& password,
                      std::uint32_t userData, const std::string& host = "127.0.0.1");
std::string logoutText(std::uint32_t handle);
std::string realPlayText(std::uint32_t device, std::int32_t channel, std::int32_t streamType, std::uintptr_t userData,
                         std::uint32_t window = 0);
// A command with one unsigned parameter per name, e.g. {"HPLAY": 5}.
std::string handleText(const std::string& key, std::uint32_t playHandle);
std::string switchStreamText(std::uint32_t playHandle, std::uint32_t streamType);
std::string requestKeyFrameText(std::uint32_t device, std::uint32_t streamType, std::uint32_t channelMask);

std::int32_t call(const std::string& text, std::uint32_t* handle = nullptr, std::uint32_t* detail = nullptr);

}  // namespace nettest
