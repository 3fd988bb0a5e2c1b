// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadMessages.h"

namespace velk::recorder {

std::optional<DownloadOpenRequest> readDownloadOpen(const Json::Value& params)
{
    if (!params.isObject())
        return std::nullopt;
    const Json::Value& session = params["session"];
    const Json::Value& file = params["file"];
    const Json::Value& start = params["start"];
    const Json::Value& end = params["end"];
    if (!session.isString() || !file.isString() || file.asString().empty() || !start.isString() || !end.isString())
        return std::nullopt;
    const auto from = parseCompactTime(start.asString());
    const auto to = parseCompactTime(end.asString());
    if (!from || !to || toMs(*to) < toMs(*from))
        return std::nullopt;
    return DownloadOpenRequest{session.asString(), file.asString(), *from, *to};
}

}  // namespace velk::recorder
