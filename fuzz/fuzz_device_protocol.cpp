// SPDX-License-Identifier: GPL-3.0-or-later
// The device protocol as a recorder or a client receives it: bytes arrive in
// pieces of any size, the frame decoder reassembles frames, and each JSON
// frame goes through the message, hello, login and stream-message readers.
//
// Input: byte 0 chooses the connection (bit 0: media, else control) and the
// size of the pieces the bytes arrive in (the other bits); the rest is the
// byte stream. The whole rest is also read once as one JSON frame's payload,
// so that the readers get inputs without frame headers too.
//
// Properties checked: a decoded message encodes to a text that decodes to
// the same message; a JSON text that parses writes to a text that parses to
// the same value; an encoded frame decodes to itself.
#include "FuzzCheck.h"

#include "proto/FrameCodec.h"
#include "proto/FrameDecoder.h"
#include "proto/Hello.h"
#include "proto/JsonText.h"
#include "proto/LoginRequest.h"
#include "proto/Message.h"
#include "proto/StreamMessages.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace velk::proto;

namespace {

void readBody(const Json::Value& body)
{
    (void)readLoginRequest(body);
    (void)readLoginResult(body);
    (void)readStreamOpenRequest(body);
    (void)readStreamInfo(body);
    (void)readStreamType(body);
    (void)readStreamError(body);
    for (const char* name : {"id", "code", "channel", "streamType", "version", "session", "nonce"}) {
        (void)memberUInt64(body, name);
        (void)memberUInt32(body, name);
        (void)memberInt32(body, name);
        (void)memberString(body, name);
        if (body.isObject())
            if (const Json::Value* member = body.find(name, name + std::char_traits<char>::length(name)))
                (void)looseInteger(*member);
    }
}

void checkFrameRoundTrip(FrameType type, const std::string& payload)
{
    const std::string wire = encodeFrame(type, payload);
    FrameDecoder decoder(static_cast<std::uint32_t>(std::max<std::size_t>(payload.size(), 1)));
    decoder.append(wire.data(), wire.size());
    Frame frame;
    FUZZ_CHECK(decoder.next(frame) == FrameDecoder::Status::FrameReady);
    FUZZ_CHECK(frame.type == type && frame.payload == payload);
    FUZZ_CHECK(decoder.next(frame) == FrameDecoder::Status::NeedMore);
}

void readJsonPayload(std::string_view payload)
{
    Json::Value value;
    std::string error;
    if (parseJsonValue(payload, value, &error)) {
        const std::string written = writeJson(value);
        Json::Value again;
        FUZZ_CHECK(parseJsonValue(written, again));
        FUZZ_CHECK(again == value);
        FUZZ_CHECK(writeJson(again) == written);
    }

    const std::optional<Message> message = decodeMessage(payload);
    if (!message)
        return;
    readBody(message->body);
    if (message->kind == MessageKind::Hello) {
        if (const auto client = readClientHello(*message))
            (void)negotiateVersion(client->version);
        if (const auto server = readServerHello(*message))
            (void)negotiateVersion(server->version);
    }

    const std::string text = encodeMessage(*message);
    const std::optional<Message> again = decodeMessage(text);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->kind == message->kind && again->id == message->id && again->name == message->name &&
               again->code == message->code && again->body == message->body);
    FUZZ_CHECK(encodeMessage(*again) == text);
    checkFrameRoundTrip(FrameType::Json, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool media = (data[0] & 1) != 0;
    const std::size_t piece = 1 + (data[0] >> 1);  // 1..128 bytes at a time
    const std::uint8_t* stream = data + 1;
    const std::size_t streamBytes = size - 1;

    FrameDecoder decoder(media ? kMediaFrameLimitBytes : kControlFrameLimitBytes);
    Frame frame;
    bool failed = false;
    for (std::size_t pos = 0; pos < streamBytes && !failed;) {
        const std::size_t n = std::min(piece, streamBytes - pos);
        decoder.append(stream + pos, n);
        pos += n;
        for (;;) {
            const FrameDecoder::Status status = decoder.next(frame);
            if (status == FrameDecoder::Status::NeedMore)
                break;
            if (status == FrameDecoder::Status::Failed) {
                FUZZ_CHECK(decoder.failure() != FrameDecoder::Failure::None);
                FUZZ_CHECK(failureText(decoder.failure()) != nullptr);
                failed = true;
                break;
            }
            FUZZ_CHECK(isKnownFrameType(static_cast<std::uint8_t>(frame.type)));
            FUZZ_CHECK(frame.payload.size() <= (media ? kMediaFrameLimitBytes : kControlFrameLimitBytes));
            if (frame.type == FrameType::Json)
                readJsonPayload(frame.payload);
        }
    }
    if (!failed)
        FUZZ_CHECK(decoder.bufferedBytes() <= streamBytes);

    readJsonPayload(std::string_view(reinterpret_cast<const char*>(stream), streamBytes));
    return 0;
}
