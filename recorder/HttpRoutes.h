// SPDX-License-Identifier: GPL-3.0-or-later
// What the recorder's web server answers:
//   GET  /api/info           name, channels, ports, version
//   GET  /sim/status         connection and login counts, frozen flag
//   POST /sim/drop           drops every device-protocol connection
//   POST /sim/freeze         the recorder stops answering (looks hung)
//   POST /sim/resume         ends a freeze
//   POST /sim/notify?kind=N  device notification of kind N to logged-in clients
//   GET  /<file>             static files of the web folder
// JSON answers are {"ok":true,...} or a 4xx with {"ok":false,"error":text}.
#pragma once

#include <boost/beast/http.hpp>

namespace velk::recorder {

class Recorder;

using HttpRequest = boost::beast::http::request<boost::beast::http::string_body>;
using HttpResponse = boost::beast::http::response<boost::beast::http::string_body>;

HttpResponse handleHttpRequest(Recorder& recorder, const HttpRequest& request);

}  // namespace velk::recorder
