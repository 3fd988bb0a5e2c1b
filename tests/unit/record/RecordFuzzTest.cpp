// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever bytes a file holds, the header scan, the container walk, the
// report and the repair stay inside the file (run under ASan to see it).
#include "RecordTestFiles.h"

#include "RecordFileReport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace recordfile;

namespace {

std::vector<std::uint8_t> validFile(std::mt19937& rng)
{
    recordtest::FileBuilder file;
    std::uniform_int_distribution<std::size_t> payload(10, 15000);
    for (std::uint32_t i = 0; i < 30; ++i) {
        const auto kind = i % 10 == 0 ? media::MediaKind::VideoKey
                          : i % 3 == 0 ? media::MediaKind::AudioALaw
                                       : media::MediaKind::VideoDelta;
        file.append(recordtest::frame(1000 + i, i, payload(rng), i % 7 != 3, kind, 2));
    }
    return file.bytes();
}

std::vector<std::uint8_t> variant(std::mt19937& rng, const std::vector<std::uint8_t>& valid, int mode)
{
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<std::uint8_t> bytes;
    if (mode == 0) {
        bytes.resize(std::uniform_int_distribution<std::size_t>(0, 40000)(rng));
        for (std::uint8_t& b : bytes)
            b = static_cast<std::uint8_t>(byte(rng));
        // Sprinkle frame starts so that the walks go past the magic test.
        for (std::size_t i = 0; i + 12 < bytes.size(); i += 1 + std::uniform_int_distribution<std::size_t>(0, 3000)(rng)) {
            bytes[i + 1] = '2';
            bytes[i + 2] = 'd';
            bytes[i + 3] = 'c';
            bytes[i + 10] = static_cast<std::uint8_t>(byte(rng) & 1);
        }
        return bytes;
    }
    bytes = valid;
    std::uniform_int_distribution<std::size_t> position(0, bytes.size() - 1);
    if (mode == 1) {
        for (int k = std::uniform_int_distribution<int>(1, 40)(rng); k > 0; --k)
            bytes[position(rng)] = static_cast<std::uint8_t>(byte(rng));
    } else if (mode == 2) {
        bytes.resize(position(rng));
    } else {
        for (int k = 0; k < 20; ++k)
            bytes[std::uniform_int_distribution<std::size_t>(0, kHeaderBytes - 1)(rng)] =
                static_cast<std::uint8_t>(byte(rng));
    }
    return bytes;
}

}  // namespace

TEST(RecordFuzz, ScansAndWalksStayInsideAnyBytes)
{
    std::mt19937 rng(20261208);
    const std::vector<std::uint8_t> valid = validFile(rng);
    for (int iteration = 0; iteration < 3000; ++iteration) {
        const std::vector<std::uint8_t> bytes = variant(rng, valid, iteration % 4);
        MemorySource source(bytes);
        scanFirstTime(source);
        scanLastTime(source);
        parseHeader(bytes);
        const ContainerSummary summary = walkContainer(source);
        if (summary.errorOffset) {
            ASSERT_LE(*summary.errorOffset, bytes.size());
        }
        ASSERT_LE(summary.frames * 12, bytes.size());
        ASSERT_LE(summary.videoFrames + summary.audioFrames, summary.frames);
    }
}

TEST(RecordFuzz, ReportAndRepairHandleBrokenFiles)
{
    QTemporaryDir dir;
    const std::string path = (dir.path() + QStringLiteral("/f.264")).toStdString();
    std::mt19937 rng(7);
    const std::vector<std::uint8_t> valid = validFile(rng);
    for (int iteration = 0; iteration < 200; ++iteration) {
        const std::vector<std::uint8_t> bytes = variant(rng, valid, iteration % 4);
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        file.close();

        const RecordFileReport report = RecordFileReport::read(path);
        EXPECT_FALSE(report.text().empty());
        EXPECT_FALSE(report.json().empty());
        EXPECT_NE(report.exitCode(), 2);
        const RepairResult repaired = repairFile(path, true);
        if (repaired.written) {
            EXPECT_EQ(RecordFileReport::read(path).header.state, HeaderState::Valid);
            EXPECT_FALSE(repaired.ioError);
        }
    }
}
