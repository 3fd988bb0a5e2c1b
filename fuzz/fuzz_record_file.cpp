// SPDX-License-Identifier: GPL-3.0-or-later
// A local record file as velk-264-info and the control read it: the header,
// the walk through every frame, the header scan for the first and last
// times, and the tool's report in text and JSON.
//
// Input: the file's bytes (the header is the first 512, frames start at
// byte 1024).
//
// Properties checked: the walk's counts add up and any fault lies within the
// file; the header the repair would write from the scan reads back as valid,
// with the scanned times and the first frame's channel, whenever the repair
// writes one.
#include "FuzzCheck.h"

#include "RecordFileReport.h"
#include "proto/RecordFile.h"

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <span>

using namespace recordfile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    MemorySource source(bytes);

    // What RecordFileReport::read does with a file, from memory.
    RecordFileReport report;
    report.path = "fuzz.264";
    report.opened = true;
    report.size = source.size();
    report.header = parseHeader(bytes.first(std::min(size, kHeaderBytes)));
    report.container = walkContainer(source);

    const ContainerSummary& summary = report.container;
    FUZZ_CHECK(summary.videoFrames + summary.audioFrames <= summary.frames);
    if (summary.errorOffset)
        FUZZ_CHECK(*summary.errorOffset <= size && !summary.error.empty());
    if (report.header.state == HeaderState::Valid)
        FUZZ_CHECK(report.header.channel >= 0);

    const std::string text = report.text();
    FUZZ_CHECK(!text.empty() && text.back() == '\n');
    Json::Value json;
    Json::CharReaderBuilder reader;
    std::string errors;
    const std::string jsonText = report.json();
    std::unique_ptr<Json::CharReader> parser(reader.newCharReader());
    FUZZ_CHECK(parser->parse(jsonText.data(), jsonText.data() + jsonText.size(), &json, &errors));
    const int exitCode = report.exitCode();
    FUZZ_CHECK(exitCode == 0 || exitCode == 1);

    // The scan and the header the repair writes from it.
    const HeaderFields fields = scanHeaderFields(source, summary.firstChannel);
    // (The repair leaves a file whose first channel does not fit alone.)
    if (size >= kDataOffset && summary.firstChannel >= 0 && summary.firstChannel <= kMaxHeaderChannel) {
        const HeaderBytes header = buildHeader(fields);
        const ParsedHeader parsed = parseHeader(header);
        FUZZ_CHECK(parsed.state == HeaderState::Valid);
        FUZZ_CHECK(parsed.channel == summary.firstChannel);
        FUZZ_CHECK(parsed.firstTime == fields.firstTime.value_or(HeaderTime{}));
        FUZZ_CHECK(parsed.lastTime == fields.lastTime.value_or(HeaderTime{}));
    }
    return 0;
}
