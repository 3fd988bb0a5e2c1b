// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide library behind TOVR_JsonCommand: parses a command text
// and runs it on the current runtime, starting one when needed.
#pragma once

#include "Runtime.h"

#include <json/value.h>

#include <cstdint>
#include <memory>
#include <mutex>

namespace velk::tovr {

class Library {
public:
    static Library& instance();
    ~Library();

    // Runs one command text; the result of TOVR_JsonCommand. Any thread.
    std::int32_t execute(const char* commandText, std::uint32_t* handleOut, char* response, std::uint32_t responseSize,
                         std::uint32_t* detailOut);

private:
    Library() = default;

    std::int32_t init();
    std::int32_t uninit();
    // The running runtime, started first when there is none. Null when it
    // could not be started. Any thread.
    std::shared_ptr<Runtime> runtime();

    std::mutex m_runtimeLock;           // guards m_runtime (never held while a runtime shuts down)
    std::shared_ptr<Runtime> m_runtime;
};

}  // namespace velk::tovr
