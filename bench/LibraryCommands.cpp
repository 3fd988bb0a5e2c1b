// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/LibraryCommands.h"

#include "bench/BenchRecorder.h"

#include "TOVR.h"

#include <json/writer.h>

#include <string>

namespace bench {

std::int32_t libraryCommand(const Json::Value& command, std::uint32_t* handle)
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const std::string text = Json::writeString(writer, command);
    std::uint32_t detail = 0;
    return TOVR_JsonCommand(text.c_str(), handle, nullptr, 0, &detail);
}

std::uint32_t libraryLogin(const BenchRecorder& recorder)
{
    Json::Value login;
    login["KEY"] = "LOGIN";
    login["PARAM"]["DEVTYPE"] = 0;
    login["PARAM"]["DEVIP"] = "127.0.0.1";
    login["PARAM"]["DEVPORT"] = recorder.devicePort();
    login["PARAM"]["USERNAME"] = BenchRecorder::kUser;
    login["PARAM"]["PASSWORD"] = BenchRecorder::kPassword;
    login["PARAM"]["CALLBACK"] = 0;
    login["PARAM"]["USERDATA"] = 0;
    login["PARAM"]["CLIENTID"] = 0;
    std::uint32_t device = 0;
    return libraryCommand(login, &device) == 0 ? device : 0;
}

std::int32_t libraryHandleCommand(const char* key, const char* parameter, std::uint32_t handle)
{
    Json::Value command;
    command["KEY"] = key;
    command["PARAM"][parameter] = handle;
    return libraryCommand(command);
}

}  // namespace bench
