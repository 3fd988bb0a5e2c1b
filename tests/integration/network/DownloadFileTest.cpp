// SPDX-License-Identifier: GPL-3.0-or-later
// A download's local file and its writer thread on their own: the data
// behind the zero prefix, the header and the rename at the end, the full
// queue and its drained signal, what a stop leaves, and that a stop never
// removes a newer file of the same name.
#include "DownloadFile.h"

#include "proto/MediaFrame.h"
#include "proto/RecordFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

using velk::tovr::DownloadFile;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A video frame of the container with a time item, as the recorder sends.
std::string containerFrame(std::uint32_t seconds, std::uint32_t milliseconds, std::size_t pictureBytes)
{
    media::FrameFields fields;
    fields.kind = media::MediaKind::VideoDelta;
    fields.channel = 2;
    fields.time = media::FrameTime{seconds, milliseconds};
    const std::vector<std::uint8_t> picture(pictureBytes, 0x41);
    const auto bytes = media::buildFrame(fields, picture);
    return std::string(bytes.begin(), bytes.end());
}

class DownloadFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = fs::temp_directory_path() / ("velk-download-file-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::unique_ptr<DownloadFile> create(const fs::path& path)
    {
        return DownloadFile::create(
            path.string(), [this](bool complete) { m_ended = complete ? 1 : 0; }, [this] { ++m_drained; });
    }
    bool waitForEnd(int timeoutMs = 5000)
    {
        for (int i = 0; i < timeoutMs && m_ended.load() < 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return m_ended.load() >= 0;
    }

    fs::path m_folder;
    std::atomic<int> m_ended{-1};  // -1 not yet, 0 failed, 1 complete
    std::atomic<int> m_drained{0};
};

}  // namespace

TEST_F(DownloadFileTest, CompleteFileHasTheDataBehindAHeaderAndItsFinalName)
{
    const fs::path path = m_folder / "clip.264";
    auto file = create(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(fs::file_size(path.string() + ".part"), recordfile::kDataOffset);
    // Frames of varied sizes, many small ones (gathered into chunks) and
    // some larger than a chunk.
    std::string expected;
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::size_t size = i % 500 == 7 ? DownloadFile::kChunkBytes + 1000 : 200 + i % 300;
        const std::string frame = containerFrame(1'800'000'000 + i / 25, (i % 25) * 40, size);
        expected += frame;
        file->append(frame);
    }
    file->finish(2);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(m_ended.load(), 1);
    file->join();
    EXPECT_FALSE(fs::exists(path.string() + ".part"));
    const std::string written = readFile(path);
    ASSERT_EQ(written.size(), recordfile::kDataOffset + expected.size());
    EXPECT_TRUE(written.substr(recordfile::kDataOffset) == expected);
    const auto header = recordfile::parseHeader(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(written.data()), written.size()));
    ASSERT_EQ(header.state, recordfile::HeaderState::Valid) << header.problem;
    EXPECT_EQ(header.channel, 2);
    EXPECT_EQ(header.firstTime.seconds, 1'800'000'000u);
    EXPECT_EQ(header.firstTime.milliseconds, 0u);
    EXPECT_GE(header.lastTime.seconds, 1'800'000'000u + 100);

    // A stop after the end keeps the file; bytes after the end are dropped.
    file->append("late");
    file->abort();
    file->join();
    EXPECT_EQ(readFile(path), written);
}

TEST_F(DownloadFileTest, RunsOfPiecesLandInOrderBesideSinglePieces)
{
    // Received frames come in runs of any length (one read's worth), mixed
    // here with single pieces; some larger than a chunk, some filling one
    // up exactly.
    const fs::path path = m_folder / "runs.264";
    auto file = create(path);
    ASSERT_TRUE(file);
    std::string expected;
    std::vector<std::string> run;
    const auto appendRun = [&] {
        const std::vector<std::string_view> views(run.begin(), run.end());
        EXPECT_TRUE(file->append(std::span<const std::string_view>(views)));
        run.clear();
    };
    for (std::uint32_t i = 0; i < 3000; ++i) {
        const std::size_t size = i % 400 == 9 ? DownloadFile::kChunkBytes + 333 : 100 + (i * 13) % 700;
        std::string frame = containerFrame(1'800'000'000 + i / 25, (i % 25) * 40, size);
        expected += frame;
        if (i % 5 == 0) {
            appendRun();
            file->append(std::move(frame));
        } else {
            run.push_back(std::move(frame));
            if (run.size() >= 1 + i % 13)
                appendRun();
        }
    }
    appendRun();
    file->finish(0);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(m_ended.load(), 1);
    file->join();
    const std::string written = readFile(path);
    ASSERT_EQ(written.size(), recordfile::kDataOffset + expected.size());
    EXPECT_TRUE(written.substr(recordfile::kDataOffset) == expected);
}

TEST_F(DownloadFileTest, AFullQueueIsReportedAndItsDrainingSignalled)
{
    auto file = create(m_folder / "full.264");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->append(std::string(1000, 'a')));
    // Past the high mark in one go: full, whatever the writer does meanwhile.
    EXPECT_FALSE(file->append(std::string(DownloadFile::kQueueHighBytes, 'b')));
    for (int i = 0; i < 5000 && m_drained.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(m_drained.load(), 1);
    file->finish(0);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(m_ended.load(), 1);
    EXPECT_EQ(fs::file_size(m_folder / "full.264"), recordfile::kDataOffset + 1000 + DownloadFile::kQueueHighBytes);
}

TEST_F(DownloadFileTest, StopRemovesThePartFileButNotANewerOneOfTheSameName)
{
    for (const bool replaced : {false, true}) {
        const fs::path path = m_folder / "stopped.264";
        const std::string part = path.string() + ".part";
        m_ended = -1;
        auto file = create(path);
        ASSERT_TRUE(file);
        file->append(std::string(5000, 'x'));
        if (replaced) {
            // Another download of the same name started meanwhile.
            fs::remove(part);
            std::ofstream(part) << "newer";
        }
        file->abort();
        file->join();
        EXPECT_EQ(m_ended.load(), 0);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_EQ(fs::exists(part), replaced);
        if (replaced) {
            EXPECT_EQ(readFile(part), "newer");
        }
        fs::remove(part);
    }
}

TEST_F(DownloadFileTest, AFileThatCannotBeCreatedGivesNone)
{
    EXPECT_FALSE(create(m_folder / "missing" / "x.264"));
    // A final name that fits, whose ".part" name is too long.
    EXPECT_FALSE(create(m_folder / std::string(252, 'a')));
    EXPECT_TRUE(fs::is_empty(m_folder));
}
