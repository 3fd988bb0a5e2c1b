// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScheduleRoutes.h"

#include "ChannelScheduleStore.h"
#include "Recorder.h"
#include "ScheduleRules.h"
#include "StaticFiles.h"

#include <charconv>
#include <optional>
#include <string>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

// The channel named by the query's "channel" parameter, when it is a
// decimal number below the recorder's channel count.
std::optional<std::uint32_t> channelOf(std::string_view query, std::uint32_t channels)
{
    const std::optional<std::string> text = queryValue(query, "channel");
    std::uint32_t channel = 0;
    if (!text || text->empty())
        return std::nullopt;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), channel);
    if (error != std::errc() || end != text->data() + text->size() || channel >= channels)
        return std::nullopt;
    return channel;
}

}  // namespace

HttpResponse handleSchedule(Recorder& recorder, const HttpRequest& request, std::string_view query)
{
    const bool isGet = request.method() == http::verb::get;
    const bool isPut = request.method() == http::verb::put;
    if (!isGet && !isPut) {
        HttpResponse response = jsonError(request, http::status::method_not_allowed, "use GET or PUT");
        response.set(http::field::allow, "GET, PUT");
        return response;
    }
    const std::optional<std::uint32_t> channel = channelOf(query, recorder.options().channels);
    if (!channel)
        return jsonError(request, http::status::bad_request, "channel must be 0.." +
                                                                 std::to_string(recorder.options().channels - 1));
    if (recorder.options().dataDir.empty())
        return jsonError(request, http::status::internal_server_error, "the recorder has no data folder");
    const ChannelScheduleStore store(recorder.options().dataDir);
    std::string error;

    if (isGet) {
        const std::optional<std::string> text = store.load(*channel, error);
        if (!text)
            return jsonError(request, http::status::internal_server_error, error);
        return makeResponse(request, http::status::ok, "application/json", *text);
    }

    if (request.body().size() > kMaxScheduleTextBytes)
        return jsonError(request, http::status::payload_too_large, "schedule text longer than 4095 bytes");
    std::string canonical;
    if (!normaliseScheduleText(request.body(), canonical, error))
        return jsonError(request, http::status::bad_request, error);
    if (!store.save(*channel, canonical, error))
        return jsonError(request, http::status::internal_server_error, error);
    if (RecordingScheduler* recording = recorder.recording())
        recording->reloadSchedule(*channel);
    Json::Value body(Json::objectValue);
    body["ok"] = true;
    body["channel"] = *channel;
    return jsonResponse(request, http::status::ok, body);
}

}  // namespace velk::recorder
