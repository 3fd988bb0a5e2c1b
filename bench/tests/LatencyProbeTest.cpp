// SPDX-License-Identifier: GPL-3.0-or-later
// The latency probe sits between the control and the network library: it
// must pass every command and every stream callback on unchanged (else the
// benchmark measures a different control) while noting arrival latency.
#include "bench/CpuClock.h"
#include "bench/LatencyProbe.h"

#include "device/CommandEnvelope.h"
#include "proto/MediaFrame.h"

#include "TOVR.h"

#include <json/json.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_commands;

std::int32_t recordingCommand(const char* text, std::uint32_t* handleOut, char*, std::uint32_t, std::uint32_t*)
{
    g_commands.emplace_back(text);
    if (handleOut)
        *handleOut = 7;
    return 0;
}

struct CallbackSeen {
    int calls = 0;
    std::uint32_t type = 0;
    void* userData = nullptr;
    std::uint32_t length = 0;
    std::uint32_t kind = 0;
};
CallbackSeen g_seen;

std::int32_t originalCallback(std::uint32_t type, void* userData, const std::uint8_t*, std::uint32_t length,
                              std::uint32_t kind)
{
    ++g_seen.calls;
    g_seen.type = type;
    g_seen.userData = userData;
    g_seen.length = length;
    g_seen.kind = kind;
    return 0;
}

Json::Value parse(const std::string& text)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    return root;
}

}  // namespace

TEST(LatencyProbe, WrapsOnlyTheStreamCallbackAndPassesEverythingOn)
{
    g_commands.clear();
    g_seen = {};
    setCommandFunction(&recordingCommand);
    {
        bench::LatencyProbe probe;
        CommandEnvelope stop("REALPLAYSTOP");
        stop.uint("HPLAY", 3);
        sendCommand(stop);
        ASSERT_EQ(g_commands.size(), 1u);
        EXPECT_EQ(g_commands[0], stop.toText());

        int userData = 0;
        CommandEnvelope play("REALPLAY");
        play.uint("HDEV", 1)
            .sint("CHANNEL", 2)
            .sint("STREAMTYPE", 0)
            .uint("CALLBACK", reinterpret_cast<std::uintptr_t>(&originalCallback))
            .uint("USERDATA", reinterpret_cast<std::uintptr_t>(&userData))
            .uint("HWND", 9);
        const CommandResult result = sendCommand(play, true);
        EXPECT_EQ(result.handle, 7u);  // outputs come back unchanged
        ASSERT_EQ(g_commands.size(), 2u);
        const Json::Value sent = parse(g_commands[1]);
        EXPECT_EQ(sent["PARAM"]["CHANNEL"].asInt(), 2);
        EXPECT_EQ(sent["PARAM"]["HWND"].asUInt(), 9u);
        const auto callback = reinterpret_cast<TOVR_StreamCallback>(
            static_cast<std::uintptr_t>(sent["PARAM"]["CALLBACK"].asUInt64()));
        void* wrappedData = reinterpret_cast<void*>(static_cast<std::uintptr_t>(sent["PARAM"]["USERDATA"].asUInt64()));
        ASSERT_NE(callback, &originalCallback);

        // A video frame stamped 20 ms ago arrives: the original callback gets
        // it as it was, and the probe notes the latency.
        media::FrameFields fields;
        fields.kind = media::MediaKind::VideoKey;
        const std::uint64_t sentMs = bench::wallClockMs() - 20;
        fields.time = media::FrameTime{static_cast<std::uint32_t>(sentMs / 1000), static_cast<std::uint32_t>(sentMs % 1000)};
        const std::vector<std::uint8_t> payload{0, 0, 0, 1, 0x65};
        const std::vector<std::uint8_t> frame = media::buildFrame(fields, payload);
        callback(TOVR_STREAM_DATA, wrappedData, frame.data(), static_cast<std::uint32_t>(frame.size()), 0);
        EXPECT_EQ(g_seen.calls, 1);
        EXPECT_EQ(g_seen.userData, &userData);
        EXPECT_EQ(g_seen.length, frame.size());
        const bench::Samples arrived = probe.arrived();
        ASSERT_EQ(arrived.count(), 1u);
        EXPECT_GE(arrived.median(), 19);
        EXPECT_LT(arrived.median(), 1000);

        // Under its channel too; a captured channel keeps copies of its
        // frames from then on, others none.
        EXPECT_EQ(probe.arrivedIn(0).count(), 1u);
        EXPECT_EQ(probe.arrivedIn(2).count(), 0u);
        probe.capture(3);
        fields.channel = 3;
        const std::vector<std::uint8_t> other = media::buildFrame(fields, payload);
        callback(TOVR_STREAM_DATA, wrappedData, other.data(), static_cast<std::uint32_t>(other.size()), 0);
        callback(TOVR_STREAM_DATA, wrappedData, frame.data(), static_cast<std::uint32_t>(frame.size()), 0);
        EXPECT_EQ(probe.captured(3), std::vector<std::vector<std::uint8_t>>{other});
        EXPECT_TRUE(probe.captured(0).empty());
        EXPECT_EQ(probe.arrivedIn(3).count(), 1u);
        EXPECT_EQ(g_seen.calls, 3);

        // Other callback types pass through and are not latency samples.
        callback(TOVR_STREAM_ERROR, wrappedData, nullptr, 0, 18);
        EXPECT_EQ(g_seen.calls, 4);
        EXPECT_EQ(g_seen.kind, 18u);
        EXPECT_EQ(probe.arrived().count(), 3u);
    }
    // The probe puts the previous command function back.
    EXPECT_EQ(setCommandFunction(nullptr), &recordingCommand);
}
