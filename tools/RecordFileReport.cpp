// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordFileReport.h"

#include <json/json.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

using namespace recordfile;

namespace {

std::string headerTimeText(const HeaderTime& time)
{
    if (time.seconds == 0 && time.milliseconds == 0)
        return "none";
    return formatUtc(time.seconds, time.milliseconds);
}

// The video codecs the key frames name: "h264", "h265", "h264, h265" (the
// camera changed during the recording), or "unknown" without video info.
std::string codecsText(const ContainerSummary& container)
{
    std::string text;
    if (container.h264InfoFrames > 0)
        text = "h264";
    if (container.h265InfoFrames > 0)
        text += text.empty() ? "h265" : ", h265";
    return text.empty() ? "unknown (no video info)" : text;
}

std::string stampText(const std::optional<FrameStamp>& stamp)
{
    return stamp ? formatUtc(stamp->seconds, stamp->milliseconds) : "none";
}

std::string headerStateText(const ParsedHeader& header)
{
    switch (header.state) {
    case HeaderState::Valid:
        return "valid";
    case HeaderState::Missing:
        return "missing (all zero)";
    case HeaderState::Invalid:
        break;
    }
    return "invalid (" + header.problem + ")";
}

// The 1-based channel: the header's when it is valid, else the first frame's.
int channelOf(const RecordFileReport& report)
{
    if (report.header.state == HeaderState::Valid)
        return report.header.channel + 1;
    return report.container.firstChannel >= 0 ? report.container.firstChannel + 1 : 0;
}

Json::Value stampJson(const std::optional<FrameStamp>& stamp)
{
    if (!stamp)
        return Json::Value(Json::nullValue);
    Json::Value value(Json::objectValue);
    value["text"] = formatUtc(stamp->seconds, stamp->milliseconds);
    value["seconds"] = stamp->seconds;
    value["milliseconds"] = stamp->milliseconds;
    return value;
}

Json::Value headerTimeJson(const HeaderTime& time)
{
    Json::Value value(Json::objectValue);
    value["text"] = headerTimeText(time);
    value["seconds"] = time.seconds;
    value["milliseconds"] = time.milliseconds;
    return value;
}

}  // namespace

RecordFileReport RecordFileReport::read(const std::string& path)
{
    RecordFileReport report;
    report.path = path;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        report.openError = std::strerror(errno);
        return report;
    }
    report.opened = true;
    FileSource source(file.get());
    report.size = source.size();
    std::uint8_t head[kHeaderBytes] = {};
    const std::size_t got = source.readAt(0, head, sizeof head);
    report.header = parseHeader(std::span<const std::uint8_t>(head, got));
    report.container = walkContainer(source);
    return report;
}

std::string RecordFileReport::text() const
{
    std::string out = "file: " + path + "\n";
    if (!opened)
        return out + "error: cannot open the file: " + openError + "\n";
    out += "size: " + std::to_string(size) + "\n";
    out += "header: " + headerStateText(header) + "\n";
    const int channel = channelOf(*this);
    if (channel > 0)
        out += "channel: " + std::to_string(channel) +
               (header.state == HeaderState::Valid ? "" : " (from the first frame)") + "\n";
    if (header.state == HeaderState::Valid) {
        out += "first frame time: " + headerTimeText(header.firstTime) + "\n";
        out += "last frame time: " + headerTimeText(header.lastTime) + "\n";
    }
    out += "frames: " + std::to_string(container.frames) + " (video " + std::to_string(container.videoFrames) +
           ", audio " + std::to_string(container.audioFrames) + ")\n";
    out += "codec: " + codecsText(container) + "\n";
    out += "first frame (scan): " + stampText(container.firstTime) + "\n";
    out += "last frame (scan): " + stampText(container.lastTime) + "\n";
    if (container.errorOffset)
        out += "error: at byte " + std::to_string(*container.errorOffset) + ": " + container.error + "\n";
    return out;
}

std::string RecordFileReport::json() const
{
    Json::Value root(Json::objectValue);
    root["file"] = path;
    if (!opened) {
        root["error"] = "cannot open the file: " + openError;
    } else {
        root["size"] = Json::UInt64(size);
        root["header"] = header.state == HeaderState::Valid     ? "valid"
                         : header.state == HeaderState::Missing ? "missing"
                                                                : "invalid";
        if (header.state == HeaderState::Invalid)
            root["headerProblem"] = header.problem;
        root["channel"] = channelOf(*this);
        if (header.state == HeaderState::Valid) {
            root["firstFrameTime"] = headerTimeJson(header.firstTime);
            root["lastFrameTime"] = headerTimeJson(header.lastTime);
        }
        root["frames"] = Json::UInt64(container.frames);
        root["videoFrames"] = Json::UInt64(container.videoFrames);
        root["audioFrames"] = Json::UInt64(container.audioFrames);
        Json::Value codecs(Json::arrayValue);
        if (container.h264InfoFrames > 0)
            codecs.append("h264");
        if (container.h265InfoFrames > 0)
            codecs.append("h265");
        root["codecs"] = codecs;
        root["firstFrameScan"] = stampJson(container.firstTime);
        root["lastFrameScan"] = stampJson(container.lastTime);
        if (container.errorOffset) {
            Json::Value error(Json::objectValue);
            error["offset"] = Json::UInt64(*container.errorOffset);
            error["reason"] = container.error;
            root["error"] = error;
        }
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return Json::writeString(builder, root) + "\n";
}

int RecordFileReport::exitCode() const
{
    if (!opened)
        return 2;
    return container.errorOffset ? 1 : 0;
}
