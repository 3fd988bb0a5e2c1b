// SPDX-License-Identifier: GPL-3.0-or-later
// velk-264-info's report and repair on files written to disk.
#include "RecordTestFiles.h"

#include "RecordFileReport.h"

#include <QFile>
#include <QTemporaryDir>

#include <json/json.h>

#include <gtest/gtest.h>

using namespace recordfile;

namespace {

class Report : public ::testing::Test {
protected:
    std::string write(const std::vector<std::uint8_t>& bytes, const char* name = "f.264")
    {
        const QString path = dir.path() + QLatin1Char('/') + QLatin1String(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path.toStdString();
    }
    // A recording of channel 3 (0-based 2): a key frame, deltas and audio.
    std::vector<std::uint8_t> recording(bool withHeader)
    {
        recordtest::FileBuilder file;
        file.append(recordtest::frame(1765188000, 5, 20000, true, media::MediaKind::VideoKey, 2));
        for (std::uint32_t i = 1; i <= 20; ++i) {
            file.append(recordtest::frame(1765188000 + i / 25, 40 * i, 900, true, media::MediaKind::VideoDelta, 2));
            file.append(recordtest::frame(1765188000 + i / 25, 40 * i, 320, true, media::MediaKind::AudioMuLaw, 2));
        }
        std::vector<std::uint8_t> bytes = file.bytes();
        if (withHeader) {
            MemorySource source(bytes);
            const HeaderBytes header = buildHeader(scanHeaderFields(source, 2));
            std::copy(header.begin(), header.end(), bytes.begin());
        }
        return bytes;
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(Report, FinishedFileReadsCleanly)
{
    const std::string path = write(recording(true));
    const RecordFileReport report = RecordFileReport::read(path);
    EXPECT_EQ(report.exitCode(), 0);
    const std::string text = report.text();
    EXPECT_NE(text.find("file: " + path + "\n"), std::string::npos);
    EXPECT_NE(text.find("header: valid\nchannel: 3\n"), std::string::npos) << text;
    // The key frame runs past the first window: a delta frame gives the time.
    EXPECT_NE(text.find("first frame time: 2025-12-08 10:00:00.040\n"), std::string::npos) << text;
    EXPECT_NE(text.find("frames: 41 (video 21, audio 20)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("first frame (scan): 2025-12-08 10:00:00.005\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("error:"), std::string::npos);

    Json::Value json;
    Json::Reader().parse(report.json(), json);
    EXPECT_EQ(json["header"].asString(), "valid");
    EXPECT_EQ(json["channel"].asInt(), 3);
    EXPECT_EQ(json["frames"].asUInt64(), 41u);
    EXPECT_EQ(json["firstFrameScan"]["milliseconds"].asUInt(), 5u);
}

TEST_F(Report, TellsTheCodecsTheKeyFramesName)
{
    // A camera of one codec replaced by one of the other during the recording.
    const auto keyFrame = [](std::uint32_t seconds, std::optional<media::VideoCodec> codec) {
        media::FrameFields fields;
        fields.kind = media::MediaKind::VideoKey;
        fields.time = media::FrameTime{seconds, 0};
        if (codec)
            fields.video = media::VideoInfo{1920, 1080, 25, *codec};
        return media::buildFrame(fields, std::vector<std::uint8_t>(200, 0x41));
    };
    struct Case {
        std::vector<std::optional<media::VideoCodec>> codecs;
        const char* text;
        std::vector<std::string> json;
    };
    const Case cases[] = {
        {{media::VideoCodec::H264, media::VideoCodec::H264}, "codec: h264\n", {"h264"}},
        {{media::VideoCodec::H265}, "codec: h265\n", {"h265"}},
        {{media::VideoCodec::H265, media::VideoCodec::H264}, "codec: h264, h265\n", {"h264", "h265"}},
        {{std::nullopt}, "codec: unknown (no video info)\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        recordtest::FileBuilder file;
        std::uint32_t seconds = 1765188000;
        for (const auto& codec : c.codecs)
            file.append(keyFrame(seconds++, codec));
        const RecordFileReport report = RecordFileReport::read(write(file.bytes()));
        EXPECT_EQ(report.exitCode(), 0);
        EXPECT_NE(report.text().find(c.text), std::string::npos) << report.text();
        Json::Value json;
        Json::Reader().parse(report.json(), json);
        ASSERT_EQ(json["codecs"].size(), c.json.size());
        for (Json::ArrayIndex i = 0; i < c.json.size(); ++i)
            EXPECT_EQ(json["codecs"][i].asString(), c.json[i]);
    }
}

TEST_F(Report, BrokenContainerAndMissingFilesHaveTheirExitCodes)
{
    std::vector<std::uint8_t> cut = recording(true);
    cut.resize(cut.size() - 100);
    const RecordFileReport broken = RecordFileReport::read(write(cut));
    EXPECT_EQ(broken.exitCode(), 1);
    EXPECT_NE(broken.text().find("error: at byte "), std::string::npos);

    const RecordFileReport missing = RecordFileReport::read(dir.path().toStdString() + "/none.264");
    EXPECT_EQ(missing.exitCode(), 2);
}

TEST_F(Report, RepairWritesTheHeaderOfAnUnfinishedFileOnly)
{
    const std::string path = write(recording(false));
    const RecordFileReport before = RecordFileReport::read(path);
    EXPECT_EQ(before.header.state, HeaderState::Missing);
    EXPECT_NE(before.text().find("header: missing (all zero)\nchannel: 3 (from the first frame)\n"), std::string::npos);

    const RepairResult repaired = repairFile(path, false);
    ASSERT_TRUE(repaired.written) << repaired.message;
    const RecordFileReport after = RecordFileReport::read(path);
    EXPECT_EQ(after.header.state, HeaderState::Valid);
    EXPECT_EQ(after.header.channel, 2);
    // The same header the control writes when it finishes a file.
    const std::vector<std::uint8_t> finished = recording(true);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(512);
    EXPECT_EQ(std::vector<std::uint8_t>(head.begin(), head.end()),
              std::vector<std::uint8_t>(finished.begin(), finished.begin() + 512));

    EXPECT_FALSE(repairFile(path, false).written);  // valid: kept
    EXPECT_TRUE(repairFile(path, true).written);
    const std::string empty = write(std::vector<std::uint8_t>(2048, 0), "empty.264");
    EXPECT_FALSE(repairFile(empty, false).written);  // no frame to take a channel from
}

TEST_F(Report, AHeaderWithTwoChannelBytesIsInvalidAndTheChannelComesFromTheFrames)
{
    // A recording of channel 3 whose header also names channel 1.
    std::vector<std::uint8_t> bytes = recording(true);
    ASSERT_EQ(bytes[180], 3);
    bytes[100] = 1;
    const std::string path = write(bytes);
    const RecordFileReport report = RecordFileReport::read(path);
    EXPECT_EQ(report.exitCode(), 0) << "the frames themselves are sound";
    const std::string text = report.text();
    EXPECT_NE(text.find("header: invalid (more than one channel byte is set)\nchannel: 3 (from the first frame)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("first frame time:"), std::string::npos) << "no time is taken from a header not trusted";

    Json::Value json;
    Json::Reader().parse(report.json(), json);
    EXPECT_EQ(json["header"].asString(), "invalid");
    EXPECT_EQ(json["headerProblem"].asString(), "more than one channel byte is set");
    EXPECT_EQ(json["channel"].asInt(), 3);
    EXPECT_FALSE(json.isMember("firstFrameTime"));

    // Repair leaves a header that is set alone unless forced; forced, it
    // names the frames' channel only.
    const RepairResult refused = repairFile(path, false);
    EXPECT_FALSE(refused.written);
    EXPECT_NE(refused.message.find("more than one channel byte is set"), std::string::npos) << refused.message;
    ASSERT_TRUE(repairFile(path, true).written);
    const RecordFileReport repaired = RecordFileReport::read(path);
    EXPECT_EQ(repaired.header.state, HeaderState::Valid);
    EXPECT_EQ(repaired.header.channel, 2);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(512);
    EXPECT_EQ(head.at(100), 0);
    EXPECT_EQ(head.at(180), 3);
}

// The header holds channel + 1 in one byte. A first frame that names
// channel 255 (a damaged frame) would give a header without a channel byte,
// which reads as invalid: the repair leaves such a file alone. The highest
// channel that fits is written.
TEST_F(Report, RepairWritesOnlyAHeaderThatReadsBackAsValid)
{
    for (const int channel : {254, 255}) {
        recordtest::FileBuilder file;
        file.append(recordtest::frame(1765188000, 5, 200, true, media::MediaKind::VideoKey,
                                      static_cast<std::uint8_t>(channel)));
        const std::string path = write(file.bytes(), channel == 255 ? "ch255.264" : "ch254.264");

        const RepairResult repaired = repairFile(path, false);
        const RecordFileReport after = RecordFileReport::read(path);
        if (channel == 255) {
            EXPECT_FALSE(repaired.written);
            EXPECT_FALSE(repaired.ioError);
            EXPECT_NE(repaired.message.find("channel"), std::string::npos) << repaired.message;
            EXPECT_EQ(after.header.state, HeaderState::Missing);
        } else {
            EXPECT_TRUE(repaired.written) << repaired.message;
            EXPECT_EQ(after.header.state, HeaderState::Valid) << after.header.problem;
            EXPECT_EQ(after.header.channel, channel);
        }
    }
}
