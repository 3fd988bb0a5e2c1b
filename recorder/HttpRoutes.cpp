// SPDX-License-Identifier: GPL-3.0-or-later
#include "HttpRoutes.h"

#include "HostCheck.h"
#include "Recorder.h"
#include "OverlayRoutes.h"
#include "ScheduleRoutes.h"
#include "SearchRoutes.h"
#include "SimRoutes.h"
#include "StaticFiles.h"

#include "proto/JsonText.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

// Web files are small; anything bigger is not served from memory.
constexpr std::uintmax_t kMaxStaticFileBytes = 32 * 1024 * 1024;

HttpResponse handleStatic(Recorder& recorder, const HttpRequest& request, std::string_view path)
{
    if (request.method() != http::verb::get && request.method() != http::verb::head)
        return makeResponse(request, http::status::method_not_allowed, "text/plain; charset=utf-8", "use GET\n");
    const auto file = resolveWebPath(recorder.webFolder(), path);
    std::error_code error;
    if (!file || std::filesystem::file_size(*file, error) > kMaxStaticFileBytes || error)
        return makeResponse(request, http::status::not_found, "text/plain; charset=utf-8", "not found\n");
    std::ifstream in(*file, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        return makeResponse(request, http::status::internal_server_error, "text/plain; charset=utf-8",
                            "read failed\n");
    return makeResponse(request, http::status::ok, contentTypeFor(*file), std::move(content));
}

}  // namespace

HttpResponse makeResponse(const HttpRequest& request, http::status status, std::string contentType, std::string body)
{
    HttpResponse response(status, request.version());
    response.set(http::field::server, "velk-recorder");
    response.set(http::field::content_type, contentType);
    response.set(http::field::cache_control, "no-store");
    response.set("X-Content-Type-Options", "nosniff");
    response.keep_alive(request.keep_alive());
    response.body() = std::move(body);
    response.prepare_payload();
    // HEAD: the headers GET would have, without the body.
    if (request.method() == http::verb::head) {
        const auto length = response.body().size();
        response.body().clear();
        response.content_length(length);
    }
    return response;
}

HttpResponse jsonResponse(const HttpRequest& request, http::status status, const Json::Value& body)
{
    return makeResponse(request, status, "application/json", proto::writeJson(body));
}

HttpResponse jsonError(const HttpRequest& request, http::status status, const std::string& message)
{
    Json::Value body(Json::objectValue);
    body["ok"] = false;
    body["error"] = message;
    return jsonResponse(request, status, body);
}

HttpResponse handleHttpRequest(Recorder& recorder, const HttpRequest& request)
{
    // Every request, the page's files too: a page of another site must
    // read nothing of the recorder either.
    if (const auto refusal = checkRequestHosts(recorder.allowedHosts(), request, recorder.httpPort()))
        return jsonError(request, refusal->status, refusal->message);

    const std::string_view target(request.target().data(), request.target().size());
    const auto q = target.find('?');
    const std::string_view path = target.substr(0, q);
    const std::string_view query = q == std::string_view::npos ? std::string_view{} : target.substr(q + 1);

    if (path == "/api/info") {
        if (request.method() != http::verb::get)
            return jsonError(request, http::status::method_not_allowed, "use GET");
        Json::Value body = recorder.info();
        body["ok"] = true;
        return jsonResponse(request, http::status::ok, body);
    }
    if (path == "/api/schedule")
        return handleSchedule(recorder, request, query);
    if (path == "/api/overlay")
        return handleOverlay(recorder, request, query);
    if (path == "/api/recordings" || path == "/api/recordings/days")
        return handleRecordings(recorder, request, path, query);
    constexpr std::string_view simPrefix = "/sim/";
    if (path.substr(0, simPrefix.size()) == simPrefix)
        return handleSim(recorder, request, path.substr(simPrefix.size()), query);
    return handleStatic(recorder, request, path);
}

}  // namespace velk::recorder
