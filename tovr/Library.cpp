// SPDX-License-Identifier: GPL-3.0-or-later
#include "Library.h"

#include "DeviceCommands.h"
#include "DownloadCommands.h"
#include "LiveCommands.h"
#include "PlaybackCommands.h"
#include "TraceLog.h"

#include "TOVR.h"

#include "proto/JsonText.h"

#include <openssl/crypto.h>

#include <cstring>
#include <string_view>
#include <utility>

namespace velk::tovr {

namespace {

// Command texts are small; anything longer is refused unread.
constexpr std::size_t kMaxCommandTextBytes = 64 * 1024;

}  // namespace

Library& Library::instance()
{
    // OpenSSL registers its exit-time cleanup when first initialised.
    // Initialising it before the library object exists makes that cleanup
    // run after the library's destructor has joined the I/O thread, which
    // still frees its OpenSSL state on the way out.
    [[maybe_unused]] static const int openSslReady = OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr);
    static Library library;
    return library;
}

Library::~Library()
{
    std::shared_ptr<Runtime> runtime;
    {
        std::lock_guard lock(m_runtimeLock);
        runtime = std::move(m_runtime);
    }
    if (runtime)
        runtime->shutdown();
}

std::shared_ptr<Runtime> Library::runtime()
{
    std::lock_guard lock(m_runtimeLock);
    if (m_runtime)
        return m_runtime;
    TraceLog::instance().configureFromEnvironment();
    auto runtime = std::make_shared<Runtime>(LibraryConfig::fromEnvironment());
    if (!runtime->start()) {
        runtime->shutdown();
        return nullptr;
    }
    m_runtime = runtime;
    return runtime;
}

std::int32_t Library::init()
{
    return runtime() ? TOVR_OK : TOVR_ERR_REFUSED;
}

std::int32_t Library::uninit()
{
    std::shared_ptr<Runtime> runtime;
    {
        std::lock_guard lock(m_runtimeLock);
        if (m_runtime && m_runtime->onLibraryThread())
            return TOVR_ERR_REFUSED;  // a callback cannot stop the threads it runs on
        runtime = std::move(m_runtime);
    }
    if (runtime)
        runtime->shutdown();
    return TOVR_OK;
}

std::int32_t Library::execute(const char* commandText, std::uint32_t* handleOut, char* response,
                              std::uint32_t responseSize, std::uint32_t* detailOut)
{
    if (!commandText)
        return TOVR_ERR_REFUSED;
    const std::size_t length = ::strnlen(commandText, kMaxCommandTextBytes + 1);
    if (length > kMaxCommandTextBytes)
        return TOVR_ERR_REFUSED;

    Json::Value command;
    if (!proto::parseJsonObject(std::string_view(commandText, length), command))
        return TOVR_ERR_REFUSED;
    const auto key = proto::memberString(command, "KEY");
    if (!key)
        return TOVR_ERR_REFUSED;
    const Json::Value& param = command["PARAM"];
    if (!param.isNull() && !param.isObject())
        return TOVR_ERR_REFUSED;

    if (*key == "INIT")
        return init();
    if (*key == "UNINIT")
        return uninit();

    using Runner = std::int32_t (*)(Runtime&, const Json::Value&, const CommandOutputs&);
    static constexpr std::pair<std::string_view, Runner> kRunners[] = {
        {"LOGIN", &runLogin},
        {"LOGOUT", &runLogout},
        {"REALPLAY", &runRealPlay},
        {"REALPLAYSTOP", &runRealPlayStop},
        {"REALPLAYSWITCHSTREAM", &runSwitchStream},
        {"REQUESTIFRAME", &runRequestKeyFrame},
        {"GETDECODER", &runGetDecoder},
        {"STREAMSTATISTICS", &runStreamStatistics},
        {"REMOTEPLAY", &runRemotePlay},
        {"REMOTEPLAYSEEK", &runRemotePlaySeek},
        {"REMOTEPLAYLOSE", &runRemotePlayLose},
        {"REMOTEPLAYSTOP", &runRemotePlayStop},
        {"DOWNLOADVIDEO", &runDownloadVideo},
        {"GETPROGRESS", &runGetProgress},
        {"STOPCOMMAND", &runStopCommand},
    };
    Runner runner = nullptr;
    for (const auto& [name, candidate] : kRunners)
        if (*key == name)
            runner = candidate;
    if (!runner || !param.isObject())
        return TOVR_ERR_REFUSED;

    const auto rt = runtime();
    if (!rt)
        return TOVR_ERR_REFUSED;
    return runner(*rt, param, CommandOutputs{handleOut, response, responseSize, detailOut});
}

}  // namespace velk::tovr
