// SPDX-License-Identifier: GPL-3.0-or-later
// Framing, message codecs, handshake and login proofs of the device protocol.
#include "proto/DetailCode.h"
#include "proto/FrameCodec.h"
#include "proto/FrameDecoder.h"
#include "proto/Hello.h"
#include "proto/JsonText.h"
#include "proto/LoginProof.h"
#include "proto/LoginRequest.h"
#include "proto/MediaFrame.h"
#include "proto/Message.h"
#include "proto/StreamMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

using namespace velk::proto;

namespace {

std::vector<Frame> drain(FrameDecoder& decoder, FrameDecoder::Status& last)
{
    std::vector<Frame> frames;
    Frame frame;
    while ((last = decoder.next(frame)) == FrameDecoder::Status::FrameReady)
        frames.push_back(frame);
    return frames;
}

}  // namespace

TEST(FrameDecoder, ReassemblesFramesFedOneByteAtATime)
{
    const std::string payload(300, 'x');
    const std::string wire = encodeFrame(FrameType::Json, "{\"a\":1}") + encodeHeartbeat() +
                             encodeFrame(FrameType::Media, payload);
    FrameDecoder decoder(kMediaFrameLimitBytes);
    std::vector<Frame> frames;
    FrameDecoder::Status last{};
    for (char c : wire) {
        decoder.append(&c, 1);
        auto got = drain(decoder, last);
        frames.insert(frames.end(), got.begin(), got.end());
        ASSERT_EQ(last, FrameDecoder::Status::NeedMore);
    }
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].type, FrameType::Json);
    EXPECT_EQ(frames[0].payload, "{\"a\":1}");
    EXPECT_EQ(frames[1].type, FrameType::Heartbeat);
    EXPECT_TRUE(frames[1].payload.empty());
    EXPECT_EQ(frames[2].payload, payload);
    EXPECT_EQ(decoder.bufferedBytes(), 0u);
}

TEST(FrameDecoder, ManyFramesInOneChunkKeepTheBufferSmall)
{
    std::string wire;
    for (int i = 0; i < 1000; ++i)
        wire += encodeFrame(FrameType::Json, std::to_string(i));
    FrameDecoder decoder(kControlFrameLimitBytes);
    decoder.append(wire.data(), wire.size());
    FrameDecoder::Status last{};
    const auto frames = drain(decoder, last);
    ASSERT_EQ(frames.size(), 1000u);
    EXPECT_EQ(frames[999].payload, "999");
    EXPECT_EQ(last, FrameDecoder::Status::NeedMore);
    EXPECT_EQ(decoder.bufferedBytes(), 0u);
}

TEST(FrameDecoder, RejectsOversizeFrameFromItsHeaderAlone)
{
    FrameDecoder decoder(1024);
    const std::string header = encodeFrame(FrameType::Json, std::string(1025, 'a')).substr(0, kFrameHeaderBytes);
    decoder.append(header.data(), header.size());
    Frame frame;
    EXPECT_EQ(decoder.next(frame), FrameDecoder::Status::Failed);
    EXPECT_EQ(decoder.failure(), FrameDecoder::Failure::Oversize);
    // A frame exactly at the limit is fine.
    FrameDecoder exact(1024);
    const std::string wire = encodeFrame(FrameType::Json, std::string(1024, 'a'));
    exact.append(wire.data(), wire.size());
    EXPECT_EQ(exact.next(frame), FrameDecoder::Status::FrameReady);
}

TEST(FrameDecoder, RejectsGarbageAndStaysFailed)
{
    struct Case {
        std::string bytes;
        FrameDecoder::Failure failure;
    };
    std::string unknownType = encodeHeartbeat();
    unknownType[2] = 9;
    const std::vector<Case> cases = {
        {"GET / HTTP/1.1\r\n\r\n", FrameDecoder::Failure::BadMagic},
        {std::string("\0\0\0\0\0\0\0\0", 8), FrameDecoder::Failure::BadMagic},
        {unknownType, FrameDecoder::Failure::UnknownType},
    };
    for (const auto& c : cases) {
        FrameDecoder decoder(kControlFrameLimitBytes);
        decoder.append(c.bytes.data(), c.bytes.size());
        Frame frame;
        EXPECT_EQ(decoder.next(frame), FrameDecoder::Status::Failed);
        EXPECT_EQ(decoder.failure(), c.failure);
        // Good frames after garbage are not picked up again.
        const std::string good = encodeHeartbeat();
        decoder.append(good.data(), good.size());
        EXPECT_EQ(decoder.next(frame), FrameDecoder::Status::Failed);
    }
}

TEST(FrameDecoder, ReceivesInPlaceAndGivesFramesInPlaceUntilTaken)
{
    // Frames of varied sizes received in pieces of varied sizes straight
    // into the decoder's buffer; each frame peeked twice (the same frame
    // until taken) and compared with what was sent.
    std::vector<std::string> payloads;
    std::string wire;
    for (int i = 0; i < 300; ++i) {
        payloads.push_back(std::string(static_cast<std::size_t>(i * 37 % 700), static_cast<char>('a' + i % 26)));
        wire += encodeFrame(i % 50 == 3 ? FrameType::Json : FrameType::Media, payloads.back());
    }
    for (const std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(1000), std::size_t(65536)}) {
        FrameDecoder decoder(kMediaFrameLimitBytes);
        std::size_t sent = 0;
        std::size_t seen = 0;
        while (sent < wire.size()) {
            const std::size_t bytes = std::min(piece, wire.size() - sent);
            const std::span<char> room = decoder.prepare(piece);
            ASSERT_GE(room.size(), bytes);
            std::memcpy(room.data(), wire.data() + sent, bytes);
            decoder.commit(bytes);
            sent += bytes;
            FrameRef frame;
            FrameDecoder::Status status;
            while ((status = decoder.peek(frame)) == FrameDecoder::Status::FrameReady) {
                FrameRef again;
                ASSERT_EQ(decoder.peek(again), FrameDecoder::Status::FrameReady);
                EXPECT_EQ(again.payload.data(), frame.payload.data());
                ASSERT_LT(seen, payloads.size());
                EXPECT_EQ(frame.type, seen % 50 == 3 ? FrameType::Json : FrameType::Media) << seen;
                EXPECT_EQ(frame.payload, payloads[seen]) << "piece " << piece << ", frame " << seen;
                decoder.pop();
                // Still valid after being taken, until more is received.
                EXPECT_EQ(frame.payload, payloads[seen]);
                ++seen;
            }
            ASSERT_EQ(status, FrameDecoder::Status::NeedMore);
        }
        EXPECT_EQ(seen, payloads.size()) << piece;
        EXPECT_EQ(decoder.bufferedBytes(), 0u);
    }
}

TEST(FrameDecoder, PeekFailsOnABadHeaderAndStaysFailed)
{
    FrameDecoder decoder(100);
    const std::string wire = encodeFrame(FrameType::Media, "ok") + encodeFrame(FrameType::Media, std::string(101, 'x'));
    decoder.append(wire.data(), wire.size());
    FrameRef frame;
    ASSERT_EQ(decoder.peek(frame), FrameDecoder::Status::FrameReady);
    decoder.pop();
    EXPECT_EQ(decoder.peek(frame), FrameDecoder::Status::Failed);
    EXPECT_EQ(decoder.failure(), FrameDecoder::Failure::Oversize);
    decoder.append("VK\x01\0\0\0\0\0", 8);
    EXPECT_EQ(decoder.peek(frame), FrameDecoder::Status::Failed);
}

TEST(MediaFrame, AppendedFramesAreTheBytesOfBuiltOnes)
{
    // Every combination of items, with payloads of varied sizes, appended
    // behind what a buffer already holds.
    for (int items = 0; items < 8; ++items) {
        for (const std::size_t size : {std::size_t(0), std::size_t(1), std::size_t(4000)}) {
            media::FrameFields fields;
            fields.kind = items % 2 ? media::MediaKind::VideoKey : media::MediaKind::AudioMuLaw;
            fields.channel = static_cast<std::uint8_t>(3 + items);
            fields.streamType = 1;
            fields.sequence = static_cast<std::uint16_t>(0xBEEF + items);
            if (items & 1)
                fields.video = media::VideoInfo{704, 576, 25, items & 2 ? media::VideoCodec::H265 : media::VideoCodec::H264};
            if (items & 2)
                fields.time = media::FrameTime{1796604120u + static_cast<std::uint32_t>(items), 999};
            if (items & 4)
                fields.audioSampleRate = 8000;
            std::vector<std::uint8_t> payload(size);
            for (std::size_t i = 0; i < size; ++i)
                payload[i] = static_cast<std::uint8_t>(i * 7 + items);
            const std::vector<std::uint8_t> built = media::buildFrame(fields, payload);
            std::string out = "before";
            ASSERT_TRUE(media::appendFrame(out, fields, payload));
            EXPECT_EQ(out.substr(0, 6), "before");
            EXPECT_EQ(out.substr(6), std::string(built.begin(), built.end())) << items << " " << size;
        }
    }
    // A body over 24 bits is refused and leaves the buffer alone.
    std::string out = "x";
    EXPECT_FALSE(media::appendFrame(out, {}, std::vector<std::uint8_t>(media::kMaxBodyBytes + 1)));
    EXPECT_EQ(out, "x");
}

TEST(MediaFrame, VideoInfoCarriesTheCodecAndOldFramesReadAsH264)
{
    // A key frame as writers before H.265 wrote it: byte +9 of the video
    // info item (and the two after it) zero.
    const std::vector<std::uint8_t> old = {0x01, '2', 'd', 'c', 2, 0, 7, 0, 16, 0, 0, 1,
                                           0x01, 12, 0, 0, 0x80, 0x07, 0x38, 0x04, 25, 0, 0, 0,
                                           0, 0, 0, 1};
    const auto oldView = media::parseFrame(old);
    ASSERT_TRUE(oldView);
    ASSERT_TRUE(oldView->video);
    EXPECT_EQ(oldView->video->width, 1920u);
    EXPECT_EQ(oldView->video->height, 1080u);
    EXPECT_EQ(oldView->video->frameRate, 25u);
    EXPECT_EQ(oldView->video->codec, media::VideoCodec::H264);
    EXPECT_EQ(oldView->payload.size(), 4u);

    for (const media::VideoCodec codec : {media::VideoCodec::H264, media::VideoCodec::H265}) {
        media::FrameFields fields;
        fields.kind = media::MediaKind::VideoKey;
        fields.time = media::FrameTime{1796604120u, 5};
        fields.video = media::VideoInfo{2560, 1440, 30, codec};
        const std::vector<std::uint8_t> payload = {0, 0, 0, 1, 0x40, 0x01};
        const auto built = media::buildFrame(fields, payload);
        // The codec sits at +9 of the first item, which starts after the header.
        EXPECT_EQ(built[media::kHeaderBytes + 9], std::uint8_t(codec));
        EXPECT_EQ(built[media::kHeaderBytes + 10], 0u);
        const auto view = media::parseFrame(built);
        ASSERT_TRUE(view && view->video);
        EXPECT_EQ(view->video->codec, codec);
        EXPECT_EQ(view->video->width, 2560u);
        EXPECT_EQ(view->video->height, 1440u);
        EXPECT_EQ(view->video->frameRate, 30u);
        EXPECT_EQ(view->time->seconds, 1796604120u);
        std::string appended;
        ASSERT_TRUE(media::appendFrame(appended, fields, payload));
        const auto appendedView = media::parseFrame(
            std::span(reinterpret_cast<const std::uint8_t*>(appended.data()), appended.size()));
        ASSERT_TRUE(appendedView && appendedView->video);
        EXPECT_EQ(appendedView->video->codec, codec);
    }
}

TEST(Message, RoundTripsEveryKind)
{
    Json::Value params(Json::objectValue);
    params["kind"] = 8;
    const std::vector<Message> messages = {
        Message::request(7, "login", params),
        Message::response(7, "login", kDetailWrongPassword),
        Message::notify("device", params),
        makeHello(ClientHello{}),
    };
    for (const auto& m : messages) {
        const auto decoded = decodeMessage(encodeMessage(m));
        ASSERT_TRUE(decoded.has_value()) << encodeMessage(m);
        EXPECT_EQ(decoded->kind, m.kind);
        EXPECT_EQ(decoded->id, m.id);
        EXPECT_EQ(decoded->name, m.name);
        EXPECT_EQ(decoded->code, m.code);
        EXPECT_EQ(writeJson(decoded->body), writeJson(m.body));
    }
}

TEST(Message, WritesCompactSortedJson)
{
    EXPECT_EQ(encodeMessage(Message::request(3, "logout")), R"({"id":3,"method":"logout","params":{},"type":"request"})");
}

TEST(Message, RefusesMalformedMessages)
{
    const std::vector<std::string> bad = {
        "",
        "not json",
        "[1,2]",
        R"({"type":"request","id":1,"method":"login"} trailing)",
        R"({"type":"request","method":"login"})",
        R"({"type":"request","id":-1,"method":"login"})",
        R"({"type":"request","id":"1","method":"login"})",
        R"({"type":"request","id":1,"method":"login","params":[1]})",
        R"({"type":"response","id":1,"method":"login"})",
        R"({"type":"notify","params":{}})",
        R"({"type":"bogus"})",
        R"({"type":"request","id":1,"id":2,"method":"login"})",
        std::string(200, '[') + std::string(200, ']'),
    };
    for (const auto& text : bad)
        EXPECT_FALSE(decodeMessage(text).has_value()) << text;
}

TEST(JsonText, MembersMustHaveTheExactKind)
{
    Json::Value v;
    ASSERT_TRUE(parseJsonObject(
        R"({"port":9000,"real":9000.0,"text":"9000","neg":-1,"big":18446744073709551615,"i":-2147483648})", v));
    EXPECT_EQ(memberUInt32(v, "port"), 9000u);
    EXPECT_FALSE(memberUInt32(v, "real"));
    EXPECT_FALSE(memberUInt32(v, "text"));
    EXPECT_FALSE(memberUInt32(v, "neg"));
    EXPECT_FALSE(memberUInt32(v, "big"));
    EXPECT_EQ(memberUInt64(v, "big"), 18446744073709551615ull);
    EXPECT_EQ(memberInt32(v, "i"), -2147483647 - 1);
    EXPECT_FALSE(memberInt32(v, "big"));
    EXPECT_FALSE(memberString(v, "port"));
    EXPECT_FALSE(memberString(v, "missing"));
}

TEST(Hello, NegotiatesAndValidates)
{
    EXPECT_EQ(negotiateVersion(0), 0u);
    EXPECT_EQ(negotiateVersion(kProtocolVersion), kProtocolVersion);
    EXPECT_EQ(negotiateVersion(kProtocolVersion + 5), kProtocolVersion);

    ServerHello ok;
    ok.nonce = "abcd";
    ok.heartbeatMs = 1000;
    const auto read = readServerHello(*decodeMessage(encodeMessage(makeHello(ok))));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->nonce, "abcd");

    // An accepting hello without a nonce is not usable; a refusal needs none.
    Message noNonce = makeHello(ok);
    noNonce.body.removeMember("nonce");
    EXPECT_FALSE(readServerHello(noNonce));
    ServerHello refused;
    refused.code = kDetailUnsupportedVersion;
    EXPECT_TRUE(readServerHello(makeHello(refused)));

    Message foreign = makeHello(ClientHello{});
    foreign.body["protocol"] = "OTHER";
    EXPECT_FALSE(readClientHello(foreign));
}

TEST(LoginProof, IsHmacSha256OverBothNonces)
{
    // RFC 4231, test case 2.
    EXPECT_EQ(hmacSha256Hex("Jefe", "what do ya want for nothing?"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");

    const std::string proof = loginProof("secret", "s-nonce", "c-nonce", "admin");
    EXPECT_EQ(proof.size(), 64u);
    EXPECT_EQ(proof.find("secret"), std::string::npos);
    EXPECT_TRUE(proofsEqual(proof, loginProof("secret", "s-nonce", "c-nonce", "admin")));
    EXPECT_FALSE(proofsEqual(proof, loginProof("Secret", "s-nonce", "c-nonce", "admin")));
    EXPECT_FALSE(proofsEqual(proof, loginProof("secret", "s-nonce2", "c-nonce", "admin")));
    EXPECT_FALSE(proofsEqual(proof, loginProof("secret", "s-nonce", "c-nonce", "admin2")));
    EXPECT_FALSE(proofsEqual("", ""));
    // An empty password still yields a proof.
    EXPECT_EQ(loginProof("", "a", "b", "c").size(), 64u);

    const std::string a = randomNonceHex();
    EXPECT_EQ(a.size(), 64u);
    EXPECT_NE(a, randomNonceHex());
}

TEST(LoginRequest, RoundTripsAndNeedsTheProof)
{
    LoginRequest request{"admin", "cn", "pf", 7, 0};
    const auto read = readLoginRequest(toJson(request));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->user, "admin");
    EXPECT_EQ(read->clientId, 7u);
    Json::Value noProof = toJson(request);
    noProof["proof"] = "";
    EXPECT_FALSE(readLoginRequest(noProof));
    Json::Value password = toJson(request);
    password.removeMember("proof");
    password["password"] = "admin";
    EXPECT_FALSE(readLoginRequest(password));
}

TEST(StreamMessages, RoundTripAndRefuseLookAlikes)
{
    const StreamOpenRequest open{"token", 7, 1};
    const auto back = readStreamOpenRequest(toJson(open));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->session, "token");
    EXPECT_EQ(back->channel, 7u);
    EXPECT_EQ(back->streamType, 1u);
    EXPECT_EQ(writeJson(toJson(StreamInfo{2, 0, 704, 576, 25})),
              R"({"channel":2,"codec":"h264","frameRate":25,"height":576,"streamType":0,"width":704})");
    StreamInfo h265{2, 0, 2560, 1440, 25, media::VideoCodec::H265};
    EXPECT_EQ(writeJson(toJson(h265)),
              R"({"channel":2,"codec":"h265","frameRate":25,"height":1440,"streamType":0,"width":2560})");
    EXPECT_EQ(readStreamInfo(toJson(h265))->codec, media::VideoCodec::H265);
    Json::Value older = toJson(h265);
    older.removeMember("codec");  // recorders before H.265 sent none
    EXPECT_EQ(readStreamInfo(older)->codec, media::VideoCodec::H264);
    older["codec"] = "mjpeg";
    EXPECT_FALSE(readStreamInfo(older));
    older["codec"] = 265;
    EXPECT_FALSE(readStreamInfo(older));
    EXPECT_EQ(writeJson(sourceLostParams(3, 1)), R"({"channel":3,"streamType":1})");
    EXPECT_EQ(readStreamInfo(toJson(StreamInfo{2, 0, 704, 576, 25}))->height, 576u);
    EXPECT_EQ(readStreamType(streamTypeParams(2)), 2u);
    EXPECT_EQ(readStreamError(streamErrorParams(0x12)), 0x12);

    Json::Value bad = toJson(open);
    bad["channel"] = "7";
    EXPECT_FALSE(readStreamOpenRequest(bad));
    bad = toJson(open);
    bad.removeMember("session");
    EXPECT_FALSE(readStreamOpenRequest(bad));
    Json::Value info = toJson(StreamInfo{});
    info["width"] = -1;
    EXPECT_FALSE(readStreamInfo(info));
}

TEST(MediaFrame, ParserRejectsTruncatedAndMalformedFrames)
{
    media::FrameFields fields;
    fields.kind = media::MediaKind::VideoKey;
    fields.time = media::FrameTime{1700000000, 250};
    fields.video = media::VideoInfo{704, 576, 25};
    const std::vector<std::uint8_t> payload(100, 0x42);
    const auto frame = media::buildFrame(fields, payload);
    const auto view = media::parseFrame(frame);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->totalBytes, frame.size());
    EXPECT_EQ(view->time->milliseconds, 250u);
    EXPECT_EQ(view->payload.size(), payload.size());

    // Cut anywhere: refused.
    for (std::size_t size = 0; size < frame.size(); size += 7)
        EXPECT_FALSE(media::parseFrame(std::span(frame.data(), size))) << size;
    auto spoilt = frame;
    spoilt[2] = 'x';
    EXPECT_FALSE(media::parseFrame(spoilt));
    spoilt = frame;
    spoilt[media::kHeaderBytes + 1] = 0xFF;  // an item running past the end
    EXPECT_FALSE(media::parseFrame(spoilt));
    spoilt = frame;
    spoilt[media::kHeaderBytes] = 1;  // an item shorter than its own header word
    spoilt[media::kHeaderBytes + 1] = 0;
    EXPECT_FALSE(media::parseFrame(spoilt));
}
