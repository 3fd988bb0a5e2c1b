// SPDX-License-Identifier: GPL-3.0-or-later
// What the recorder's web server answers:
//   GET  /api/info           name, channels, ports, version
//   /api/schedule            recording schedules (ScheduleRoutes.h)
//   /api/overlay             motion cells, privacy masks, texts (OverlayRoutes.h)
//   GET  /api/recordings...  searching what is recorded (SearchRoutes.h)
//   /sim/...                 fault injection and state for tests (SimRoutes.h)
//   GET  /<file>             static files of the web folder
// JSON answers are {"ok":true,...} or a 4xx with {"ok":false,"error":text}.
// Every request is first checked for its Host and Origin (HostCheck.h).
#pragma once

#include <boost/beast/http.hpp>

#include <json/value.h>

#include <string>

namespace velk::recorder {

class Recorder;

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

HttpResponse handleHttpRequest(Recorder& recorder, const HttpRequest& request);

// Answers with the headers every answer carries.
HttpResponse makeResponse(const HttpRequest& request, boost::beast::http::status status, std::string contentType,
                          std::string body);
HttpResponse jsonResponse(const HttpRequest& request, boost::beast::http::status status, const Json::Value& body);
// {"ok":false,"error":message}
HttpResponse jsonError(const HttpRequest& request, boost::beast::http::status status, const std::string& message);

}  // namespace velk::recorder
