// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayRoutes.h"

#include "OverlayStore.h"
#include "Recorder.h"
#include "StaticFiles.h"

#include "proto/JsonText.h"

#include <algorithm>
#include <optional>
#include <string>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

// The query's "channel" parameter as a decimal number; nothing when it is
// missing or not one.
std::optional<std::uint64_t> channelParameter(std::string_view query)
{
    const std::optional<std::string> text = queryValue(query, "channel");
    if (!text || text->empty())
        return std::nullopt;
    // Digits only; a number too big for any recorder is one it has not.
    std::uint64_t channel = 0;
    for (const char c : *text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        channel = std::min<std::uint64_t>(channel * 10 + std::uint64_t(c - '0'), std::uint64_t(1) << 32);
    }
    return channel;
}

}  // namespace

HttpResponse handleOverlay(Recorder& recorder, const HttpRequest& request, std::string_view query)
{
    const bool isGet = request.method() == http::verb::get;
    const bool isPut = request.method() == http::verb::put;
    if (!isGet && !isPut) {
        HttpResponse response = jsonError(request, http::status::method_not_allowed, "Use GET or PUT.");
        response.set(http::field::allow, "GET, PUT");
        return response;
    }
    const std::optional<std::uint64_t> channel = channelParameter(query);
    if (!channel)
        return jsonError(request, http::status::bad_request, "The channel must be a decimal number.");
    OverlayStore& store = recorder.overlays();
    if (*channel >= store.channels())
        return jsonError(request, http::status::not_found,
                         "The recorder has no channel " + std::to_string(*channel) + ".");
    const auto c = static_cast<std::uint32_t>(*channel);

    if (isPut) {
        Json::Value patch;
        std::string parseError;
        if (!proto::parseJsonObject(request.body(), patch, &parseError))
            return jsonError(request, http::status::bad_request, "The body must be a JSON object: " + parseError);
        OverlaySettings next = store.settings(c);
        std::string error;
        if (!next.apply(patch, error))
            return jsonError(request, http::status::bad_request, error);
        if (!recorder.applyOverlay(c, next, error))
            return jsonError(request, http::status::internal_server_error, error);
    }
    return jsonResponse(request, http::status::ok, store.settings(c).toJson(c));
}

}  // namespace velk::recorder
