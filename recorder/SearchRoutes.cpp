// SPDX-License-Identifier: GPL-3.0-or-later
#include "SearchRoutes.h"

#include "Recorder.h"
#include "StaticFiles.h"

#include <charconv>
#include <set>

namespace velk::recorder {

namespace http = boost::beast::http;

namespace {

// The value of one query parameter, percent-decoded; nullopt when absent,
// an empty text when it cannot be decoded.
std::optional<std::string> parameter(std::string_view query, std::string_view name)
{
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        const auto eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return percentDecode(eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1))
                .value_or(std::string());
    }
    return std::nullopt;
}

const char* typeName(RecordType type)
{
    return type == RecordType::Alarm ? "alarm" : "normal";
}

Json::Value spanJson(const RecordSpan& span)
{
    Json::Value v(Json::objectValue);
    v["start"] = formatDashed(toLocal(span.startMs));
    v["end"] = formatDashed(toLocal(span.endMs));
    v["startMs"] = Json::Int64(span.startMs);
    v["endMs"] = Json::Int64(span.endMs);
    v["type"] = typeName(span.type);
    v["file"] = span.fileName;
    v["size"] = Json::UInt64(span.bytes);
    return v;
}

Json::Value channelSpans(const RecordingCatalog& catalog, std::uint32_t channel, const SearchArguments& arguments)
{
    const TimeRange day = dayRange(arguments.date);
    Json::Value spans(Json::arrayValue);
    for (const RecordSpan& span : catalog.spans(channel, day.startMs, day.endMs, arguments.filter))
        spans.append(spanJson(span));
    return spans;
}

}  // namespace

std::optional<SearchArguments> readSearchArguments(std::string_view query, bool month, std::uint32_t channels,
                                                   std::string& error)
{
    SearchArguments arguments;
    const char* dateName = month ? "month" : "date";
    const auto dateText = parameter(query, dateName);
    const auto date = dateText ? (month ? parseMonth(*dateText) : parseDate(*dateText)) : std::nullopt;
    if (!date) {
        error = std::string(dateName) + (month ? " must be a month YYYY-MM" : " must be a date YYYY-MM-DD") +
                " of the years " + std::to_string(kFirstYear) + ".." + std::to_string(kLastYear);
        return std::nullopt;
    }
    arguments.date = *date;
    if (const auto text = parameter(query, "channel")) {
        std::uint32_t channel = 0;
        const auto [end, failure] = std::from_chars(text->data(), text->data() + text->size(), channel);
        if (text->empty() || failure != std::errc() || end != text->data() + text->size() || channel >= channels) {
            error = "channel must be 0.." + std::to_string(channels - 1);
            return std::nullopt;
        }
        arguments.channel = channel;
    }
    if (const auto text = parameter(query, "type")) {
        if (*text == "all")
            arguments.filter = RecordTypeFilter::All;
        else if (*text == "normal")
            arguments.filter = RecordTypeFilter::NormalOnly;
        else if (*text == "alarm")
            arguments.filter = RecordTypeFilter::AlarmOnly;
        else {
            error = "type must be all, normal or alarm";
            return std::nullopt;
        }
    }
    return arguments;
}

Json::Value daysAnswer(const RecordingCatalog& catalog, std::uint32_t channels, const SearchArguments& arguments)
{
    const TimeRange month = monthRange(arguments.date);
    Json::Value days(Json::objectValue);
    for (std::uint32_t channel = 0; channel < channels; ++channel) {
        if (arguments.channel && *arguments.channel != channel)
            continue;
        std::set<int> recorded;
        for (const RecordSpan& span : catalog.spans(channel, month.startMs, month.endMs, arguments.filter)) {
            // Every day of this month the span touches.
            const std::int64_t from = std::max(span.startMs, month.startMs);
            const std::int64_t to = std::min(span.endMs, month.endMs);
            for (std::int64_t t = from; t < to;) {
                const LocalDateTime local = toLocal(t);
                recorded.insert(local.date.day);
                t = dayRange(local.date).endMs;
            }
        }
        if (recorded.empty())
            continue;
        Json::Value list(Json::arrayValue);
        for (const int day : recorded)
            list.append(day);
        days[std::to_string(channel)] = list;
    }
    Json::Value body(Json::objectValue);
    body["ok"] = true;
    body["month"] = formatMonth(arguments.date);
    body["days"] = days;
    return body;
}

Json::Value spansAnswer(const RecordingCatalog& catalog, std::uint32_t channels, const SearchArguments& arguments)
{
    Json::Value body(Json::objectValue);
    body["ok"] = true;
    body["date"] = formatDate(arguments.date);
    if (arguments.channel) {
        body["channel"] = *arguments.channel;
        body["spans"] = channelSpans(catalog, *arguments.channel, arguments);
        return body;
    }
    Json::Value all(Json::objectValue);
    for (std::uint32_t channel = 0; channel < channels; ++channel)
        all[std::to_string(channel)] = channelSpans(catalog, channel, arguments);
    body["channels"] = all;
    return body;
}

HttpResponse handleRecordings(Recorder& recorder, const HttpRequest& request, std::string_view path,
                              std::string_view query)
{
    if (request.method() != http::verb::get) {
        HttpResponse response = jsonError(request, http::status::method_not_allowed, "use GET");
        response.set(http::field::allow, "GET");
        return response;
    }
    const bool month = path == "/api/recordings/days";
    const std::uint32_t channels = recorder.options().channels;
    std::string error;
    const auto arguments = readSearchArguments(query, month, channels, error);
    if (!arguments)
        return jsonError(request, http::status::bad_request, error);
    const RecordingCatalog& catalog = recorder.recordings();
    return jsonResponse(request, http::status::ok,
                        month ? daysAnswer(catalog, channels, *arguments) : spansAnswer(catalog, channels, *arguments));
}

}  // namespace velk::recorder
