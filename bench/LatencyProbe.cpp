// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/LatencyProbe.h"

#include "bench/CpuClock.h"

#include "device/CommandEnvelope.h"
#include "preview/CChannelEX.h"
#include "proto/MediaFrame.h"

#include "TOVR.h"

#include <json/json.h>

#include <atomic>
#include <deque>
#include <memory>
#include <span>
#include <string>

namespace bench {

namespace {

// What a wrapped REALPLAY called before.
struct WrappedCallback {
    TOVR_StreamCallback callback = nullptr;
    void* userData = nullptr;
};

std::atomic<LatencyProbe*> g_probe{nullptr};
// The command function the probe passes commands on to.
std::atomic<CommandFunction> g_next{nullptr};
std::mutex g_wrappedLock;  // guards g_wrapped
// Never shrinks while the process runs: a stream may call back until it is
// stopped, after the probe is gone.
std::deque<WrappedCallback> g_wrapped;


// Runs on the network library's callback thread.
std::int32_t wrappedStreamCallback(std::uint32_t type, void* userData, const std::uint8_t* data, std::uint32_t length,
                                   std::uint32_t kind)
{
    const auto* wrapped = static_cast<const WrappedCallback*>(userData);
    LatencyProbe* probe = g_probe.load();
    if (type == TOVR_STREAM_DATA && data != nullptr && probe != nullptr) {
        const std::span<const std::uint8_t> frame(data, length);
        const auto view = media::parseFrame(frame);
        if (view && media::isVideo(view->kind) && view->time) {
            const std::uint64_t frameTimeMs = std::uint64_t(view->time->seconds) * 1000 + view->time->milliseconds;
            probe->noteArrival(frame, view->channel, double(wallClockMs()) - double(frameTimeMs));
        }
    }
    return wrapped->callback ? wrapped->callback(type, wrapped->userData, data, length, kind) : 0;
}

// REALPLAY's callback is replaced by the wrapper; everything else passes.
// Runs on the control's threads (UI, preview workers).
std::int32_t probingCommand(const char* text, std::uint32_t* handleOut, char* response, std::uint32_t responseSize,
                            std::uint32_t* detailOut)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string command(text ? text : "");
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    if (!reader->parse(command.data(), command.data() + command.size(), &root, &errors) || !root.isObject() ||
        root["KEY"].asString() != "REALPLAY" || !root["PARAM"]["CALLBACK"].isUInt64())
        return g_next.load()(text, handleOut, response, responseSize, detailOut);

    Json::Value& param = root["PARAM"];
    WrappedCallback* wrapped = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_wrappedLock);
        wrapped = &g_wrapped.emplace_back(WrappedCallback{
            reinterpret_cast<TOVR_StreamCallback>(static_cast<std::uintptr_t>(param["CALLBACK"].asUInt64())),
            reinterpret_cast<void*>(static_cast<std::uintptr_t>(param["USERDATA"].asUInt64()))});
    }
    param["CALLBACK"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(&wrappedStreamCallback));
    param["USERDATA"] = Json::UInt64(reinterpret_cast<std::uintptr_t>(wrapped));
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const std::string rewritten = Json::writeString(writer, root);
    return g_next.load()(rewritten.c_str(), handleOut, response, responseSize, detailOut);
}

}  // namespace

LatencyProbe::LatencyProbe()
{
    g_probe.store(this);
    // Commands may run before setCommandFunction() returns: pass them to the
    // library until the previous function is known.
    g_next.store(&TOVR_JsonCommand);
    const CommandFunction previous = setCommandFunction(&probingCommand);
    if (previous != nullptr && previous != &probingCommand)
        g_next.store(previous);
}

LatencyProbe::~LatencyProbe()
{
    g_probe.store(nullptr);
    setCommandFunction(g_next.load());
}

void LatencyProbe::watch(CChannelEX& window)
{
    const int channel = window.channel();
    window.view().setShownHook([this, channel](std::uint64_t frameTimeMs) {
        if (frameTimeMs == 0)
            return;
        const double latency = double(wallClockMs()) - double(frameTimeMs);
        m_shown.add(latency);
        m_shownByChannel[channel].add(latency);
    });
}

void LatencyProbe::clear()
{
    m_shown.clear();
    m_shownByChannel.clear();
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    m_arrived.clear();
    m_arrivedByChannel.clear();
}

Samples LatencyProbe::shownIn(int channel) const
{
    const auto it = m_shownByChannel.find(channel);
    return it == m_shownByChannel.end() ? Samples() : it->second;
}

Samples LatencyProbe::arrivedIn(int channel) const
{
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    const auto it = m_arrivedByChannel.find(channel);
    return it == m_arrivedByChannel.end() ? Samples() : it->second;
}

void LatencyProbe::capture(int channel)
{
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    m_captured[channel].clear();
}

std::vector<std::vector<std::uint8_t>> LatencyProbe::captured(int channel) const
{
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    const auto it = m_captured.find(channel);
    return it == m_captured.end() ? std::vector<std::vector<std::uint8_t>>() : it->second;
}

Samples LatencyProbe::arrived() const
{
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    return m_arrived;
}

void LatencyProbe::noteArrival(std::span<const std::uint8_t> frame, int channel, double latencyMs)
{
    std::lock_guard<std::mutex> lock(m_arrivedLock);
    m_arrived.add(latencyMs);
    m_arrivedByChannel[channel].add(latencyMs);
    if (const auto it = m_captured.find(channel); it != m_captured.end())
        it->second.emplace_back(frame.begin(), frame.end());
}

}  // namespace bench
