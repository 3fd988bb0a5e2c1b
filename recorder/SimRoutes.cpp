// SPDX-License-Identifier: GPL-3.0-or-later
#include "SimRoutes.h"

#include "Recorder.h"
#include "StaticFiles.h"

#include "proto/StreamMessages.h"

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

Json::Value okBody()
{
    Json::Value body(Json::objectValue);
    body["ok"] = true;
    return body;
}

// A decimal query parameter no larger than maxValue.
std::optional<std::uint32_t> queryNumber(std::string_view query, std::string_view name, std::uint32_t maxValue)
{
    const auto text = queryValue(query, name);
    if (!text || text->empty())
        return std::nullopt;
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end != text->data() + text->size() || value > maxValue)
        return std::nullopt;
    return value;
}

bool isPostAction(std::string_view action)
{
    for (const char* known : {"drop", "freeze", "resume", "notify", "deny", "allow", "substream", "streamtype",
                              "garbage", "alarm", "disk", "playback", "download"})
        if (action == known)
            return true;
    return false;
}

std::optional<MalformedKind> malformedKind(const std::optional<std::string>& text)
{
    if (!text || *text == "truncated")
        return MalformedKind::Truncated;
    if (*text == "magic")
        return MalformedKind::BadMagic;
    if (*text == "items")
        return MalformedKind::BadItems;
    return std::nullopt;
}

}  // namespace

HttpResponse handleSim(Recorder& recorder, const HttpRequest& request, std::string_view action,
                       std::string_view query)
{
    if (action == "status") {
        if (request.method() != http::verb::get)
            return jsonError(request, http::status::method_not_allowed, "use GET");
        return jsonResponse(request, http::status::ok, recorder.status());
    }
    if (!isPostAction(action))
        return jsonError(request, http::status::not_found, "no such simulator action");
    if (request.method() != http::verb::post)
        return jsonError(request, http::status::method_not_allowed, "use POST");

    DeviceServer& devices = recorder.devices();
    const std::uint32_t lastChannel = recorder.options().channels - 1;
    const auto channel = queryNumber(query, "channel", lastChannel);
    const auto bad = [&](const std::string& message) {
        return jsonError(request, http::status::bad_request, message);
    };
    const std::string channelRange = "channel must be a number 0.." + std::to_string(lastChannel);

    Json::Value body = okBody();
    if (action == "drop") {
        body["dropped"] = Json::UInt64(devices.counts().connections);
        devices.dropAll();
    } else if (action == "freeze") {
        devices.freeze();
    } else if (action == "resume") {
        devices.resume();
    } else if (action == "notify") {
        const auto kind = queryNumber(query, "kind", UINT32_MAX);
        if (!kind)
            return bad("kind must be a number 0..4294967295");
        body["kind"] = *kind;
        body["sent"] = Json::UInt64(devices.notifyDevice(*kind));
    } else if (action == "deny" || action == "allow") {
        const auto user = queryValue(query, "user");
        if (!user || user->empty())
            return bad("missing user");
        if (!channel)
            return bad(channelRange);
        if (action == "deny")
            body["streamsEnded"] = Json::UInt64(devices.denyChannel(*user, *channel));
        else
            devices.allowChannel(*user, *channel);
    } else if (action == "substream") {
        const auto encoded = queryNumber(query, "encoded", 1);
        if (!channel)
            return bad(channelRange);
        if (!encoded)
            return bad("encoded must be 0 or 1");
        body["streamsEnded"] = Json::UInt64(devices.setSubstreamEncoded(*channel, *encoded == 1));
    } else if (action == "streamtype") {
        const auto type = queryNumber(query, "type", proto::kStreamTypeCount - 1);
        if (!channel)
            return bad(channelRange);
        if (!type)
            return bad("type must be 0, 1 or 2");
        if (*type == proto::kSubStreamType && !devices.policy().substreamEncoded(*channel))
            return jsonError(request, http::status::conflict, "the channel's sub stream is not encoded");
        body["streamsSwitched"] = Json::UInt64(devices.switchStreamType(*channel, *type));
    } else if (action == "alarm") {
        const auto kindText = queryValue(query, "kind").value_or("");
        const auto seconds = queryNumber(query, "seconds", 3600);
        if (!channel)
            return bad(channelRange);
        if (!alarmKindFromText(kindText))
            return bad("kind must be motion or input");
        const AlarmKind kind = kindText == "motion" ? AlarmKind::Motion : AlarmKind::Input;
        if (!seconds || *seconds == 0)
            return bad("seconds must be a number 1..3600");
        if (!recorder.recording())
            return jsonError(request, http::status::conflict, "the recorder records nothing (no data folder)");
        recorder.recording()->raiseAlarm(*channel, kind, *seconds);
        body["channel"] = *channel;
        body["kind"] = alarmKindText(kind);
        body["seconds"] = *seconds;
    } else if (action == "disk") {
        const auto state = queryValue(query, "state");
        int fault = -1;
        if (state && *state == "ok")
            fault = 0;
        else if (state && *state == "full")
            fault = ENOSPC;
        else if (state && *state == "error")
            fault = EIO;
        if (fault < 0)
            return bad("state must be ok, full or error");
        if (!recorder.recordingWriter())
            return jsonError(request, http::status::conflict, "the recorder records nothing (no data folder)");
        recorder.recordingWriter()->setFault(fault);
        body["state"] = *state;
    } else if (action == "playback") {
        const auto what = queryValue(query, "action");
        if (what && *what == "drop") {
            body["dropped"] = Json::UInt64(devices.dropPlaybacks());
        } else if (what && *what == "stall") {
            const auto seconds = queryNumber(query, "seconds", 3600);
            if (!seconds || *seconds == 0)
                return bad("seconds must be 1..3600");
            body["stalled"] = Json::UInt64(devices.stallPlaybacks(std::chrono::seconds(*seconds)));
        } else {
            return bad("action must be drop or stall");
        }
    } else if (action == "download") {
        const auto what = queryValue(query, "action");
        if (what && *what == "drop") {
            body["dropped"] = Json::UInt64(devices.dropDownloads());
        } else if (what && *what == "fail") {
            body["failed"] = Json::UInt64(devices.failDownloads());
        } else if (what && *what == "slowstart") {
            const auto seconds = queryNumber(query, "seconds", 3600);
            if (!seconds)
                return bad("seconds must be 0..3600");
            devices.slowStartDownloads(std::chrono::seconds(*seconds));
            body["seconds"] = *seconds;
        } else if (what && *what == "pace") {
            const auto kib = queryNumber(query, "kib", 1024 * 1024);
            if (!kib)
                return bad("kib must be 0..1048576");
            body["paced"] = Json::UInt64(devices.paceDownloads(std::uint64_t{*kib} * 1024));
            body["kib"] = *kib;
        } else {
            return bad("action must be drop, fail, slowstart or pace");
        }
    } else {  // garbage
        const auto kind = malformedKind(queryValue(query, "kind"));
        if (!channel)
            return bad(channelRange);
        if (!kind)
            return bad("kind must be truncated, magic or items");
        body["streams"] = Json::UInt64(devices.sendMalformedFrame(*channel, *kind));
    }
    body["frozen"] = devices.frozen();
    return jsonResponse(request, http::status::ok, body);
}

}  // namespace velk::recorder
