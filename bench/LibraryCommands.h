// SPDX-License-Identifier: GPL-3.0-or-later
// Command texts sent straight to the network library by benchmarks that
// need no control: one call, the login of the bench user, the end of a
// handle.
#pragma once

#include <json/value.h>

#include <cstdint>

namespace bench {

class BenchRecorder;

// Writes the command compactly and calls TOVR_JsonCommand; its result.
std::int32_t libraryCommand(const Json::Value& command, std::uint32_t* handle = nullptr);
// LOGIN of the bench user to the recorder, without a device callback: the
// device handle, 0 when it failed.
std::uint32_t libraryLogin(const BenchRecorder& recorder);
// A command whose only parameter is a handle (LOGOUT with HDEV,
// REALPLAYSTOP and REMOTEPLAYSTOP with HPLAY); its result.
std::int32_t libraryHandleCommand(const char* key, const char* parameter, std::uint32_t handle);

}  // namespace bench
