// SPDX-License-Identifier: GPL-3.0-or-later
// The outputs a command may write: the caller's pointers, any of them null.
#pragma once

#include <cstdint>

namespace velk::tovr {

struct CommandOutputs {
    std::uint32_t* handle = nullptr;  // the handle a command makes or reports
    char* response = nullptr;         // a response text, NUL-terminated
    std::uint32_t responseSize = 0;   // bytes available at response
    std::uint32_t* detail = nullptr;  // the recorder's detail code after result 7
};

}  // namespace velk::tovr
