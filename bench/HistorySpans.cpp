// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/HistorySpans.h"

#include "bench/BenchRecorder.h"

#include <QJsonArray>
#include <QJsonObject>

#include <ctime>

namespace bench {

namespace {

constexpr std::int64_t kCoveredMs = 20000;

std::string localText(std::int64_t ms, const char* format)
{
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

bool covers(const HistorySpan& s, std::int64_t t)
{
    return s.startMs <= t && t + kCoveredMs < s.endMs;
}

}  // namespace

std::string localDayText(std::int64_t ms)
{
    return localText(ms, "%Y-%m-%d");
}

std::string localDigitsText(std::int64_t ms)
{
    return localText(ms, "%Y%m%d%H%M%S");
}

std::vector<std::vector<HistorySpan>> historySpans(const BenchRecorder& recorder, std::int64_t dayMs, int count)
{
    const QJsonObject found = recorder.request("GET", QByteArray("/api/recordings?date=") + localDayText(dayMs).c_str());
    const QJsonObject channels = found.value(QStringLiteral("channels")).toObject();
    std::vector<std::vector<HistorySpan>> spans(static_cast<std::size_t>(count));
    for (int c = 0; c < count; ++c) {
        for (const QJsonValue& value : channels.value(QString::number(c)).toArray()) {
            const QJsonObject span = value.toObject();
            spans[static_cast<std::size_t>(c)].push_back(
                {span.value(QStringLiteral("startMs")).toInteger(), span.value(QStringLiteral("endMs")).toInteger(),
                 span.value(QStringLiteral("type")).toString() == QStringLiteral("alarm"),
                 span.value(QStringLiteral("start")).toString().toStdString(),
                 span.value(QStringLiteral("end")).toString().toStdString()});
        }
    }
    return spans;
}

std::pair<std::int64_t, int> commonInstant(const std::vector<std::vector<HistorySpan>>& spans, int count)
{
    std::int64_t best = 0;
    int bestCount = -1;
    for (int c = 0; c < count; ++c) {
        for (const HistorySpan& candidate : spans[static_cast<std::size_t>(c)]) {
            const std::int64_t t = candidate.startMs + 2000;
            const int covered = static_cast<int>(coveredChannels(spans, count, t).size());
            if (covered > bestCount || (covered == bestCount && t < best)) {
                best = t;
                bestCount = covered;
            }
        }
    }
    return {best, std::max(bestCount, 0)};
}

std::vector<int> coveredChannels(const std::vector<std::vector<HistorySpan>>& spans, int count, std::int64_t t)
{
    std::vector<int> found;
    for (int c = 0; c < count; ++c) {
        for (const HistorySpan& s : spans[static_cast<std::size_t>(c)]) {
            if (covers(s, t)) {
                found.push_back(c);
                break;
            }
        }
    }
    return found;
}

}  // namespace bench
