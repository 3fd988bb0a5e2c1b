// SPDX-License-Identifier: GPL-3.0-or-later
// What velk-264-info tells about one record file: its header, the frames a
// full walk finds, and the first fault of the container, as stable text
// (one "key: value" per line) or as JSON.
#pragma once

#include "proto/RecordFile.h"

#include <cstdint>
#include <string>

struct RecordFileReport {
    std::string path;
    bool opened = false;
    std::string openError;
    std::uint64_t size = 0;
    recordfile::ParsedHeader header;
    recordfile::ContainerSummary container;

    // Reads a file; never fails on its content, only on opening it.
    static RecordFileReport read(const std::string& path);

    std::string text() const;
    std::string json() const;
    // 0 clean, 1 the container has an error, 2 the file could not be read.
    int exitCode() const;
};
