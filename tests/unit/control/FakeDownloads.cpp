// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDownloads.h"

#include "device/CommandEnvelope.h"

#include "TOVR.h"

#include <json/json.h>

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace fake_downloads {

namespace {

struct Answer {
    std::uint32_t state = 1;
    std::uint64_t total = 2048;
    std::uint64_t got = 512;
};

struct State {
    // Guards everything below; never held while a call waits.
    std::mutex stateLock;
    std::condition_variable released;
    CommandFunction previous = nullptr;
    std::deque<std::pair<std::int32_t, bool>> downloadResults;
    bool blocking = false;
    bool progressBlocking = false;
    int blocked = 0;
    int blockedProgress = 0;
    std::int32_t progressResult = 0;
    std::uint32_t nextHandle = 0x5000;
    std::vector<Download> downloads;
    std::vector<std::uint32_t> stopped;
    std::map<std::uint32_t, Answer> answers;
    std::map<std::uint32_t, int> polls;
    Answer firstAnswer;
    std::vector<std::string> keys;
};

State& state()
{
    static State s;
    return s;
}

std::int32_t fakeCommand(const char* commandText, std::uint32_t* handleOut, char* response,
                         std::uint32_t responseSize, std::uint32_t* detailOut)
{
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string text = commandText ? commandText : "";
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text.data(), text.data() + text.size(), &root, &errors);
    const std::string key = root["KEY"].asString();
    const Json::Value& param = root["PARAM"];
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.stateLock);
        s.keys.push_back(key);
    }

    if (key == "DOWNLOADVIDEO") {
        std::unique_lock<std::mutex> lock(s.stateLock);
        if (s.blocking) {
            ++s.blocked;
            s.released.wait(lock, [&s] { return !s.blocking; });
            --s.blocked;
        }
        std::int32_t result = 0;
        bool withHandle = true;
        if (!s.downloadResults.empty()) {
            std::tie(result, withHandle) = s.downloadResults.front();
            s.downloadResults.pop_front();
        }
        Download download;
        download.handle = result == 0 && withHandle ? s.nextHandle++ : 0;
        download.deviceFileName = param["DEVFILENAME"].asString();
        download.saveFileName = param["SAVEFILENAME"].asString();
        download.startTime = param["STARTTIME"].asString();
        download.endTime = param["ENDTIME"].asString();
        s.downloads.push_back(download);
        if (download.handle != 0)
            s.answers[download.handle] = s.firstAnswer;
        if (handleOut)
            *handleOut = download.handle;
        return result;
    }
    if (key == "GETPROGRESS") {
        const std::uint32_t handle = param["HCOM"].asUInt();
        std::unique_lock<std::mutex> lock(s.stateLock);
        ++s.polls[handle];
        if (s.progressBlocking) {
            ++s.blockedProgress;
            s.released.wait(lock, [&s] { return !s.progressBlocking; });
            --s.blockedProgress;
        }
        const auto found = s.answers.find(handle);
        if (s.progressResult != 0)
            return s.progressResult;
        if (found == s.answers.end() || !response || responseSize == 0)
            return TOVR_ERR_REFUSED;
        const Answer& a = found->second;
        std::snprintf(response, responseSize,
                      R"({"RESPONSE":{"ERROR":0,"GETSIZE":%llu,"STATE":%u,"TOTALSIZE":%llu}})",
                      static_cast<unsigned long long>(a.got), a.state, static_cast<unsigned long long>(a.total));
        return TOVR_OK;
    }
    if (key == "STOPCOMMAND") {
        const std::uint32_t handle = param["HCOM"].asUInt();
        std::lock_guard<std::mutex> lock(s.stateLock);
        s.stopped.push_back(handle);
        return s.answers.erase(handle) != 0 ? TOVR_OK : TOVR_ERR_REFUSED;
    }
    CommandFunction previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.stateLock);
        previous = s.previous;
    }
    return previous ? previous(commandText, handleOut, response, responseSize, detailOut)
                    : TOVR_JsonCommand(commandText, handleOut, response, responseSize, detailOut);
}

}  // namespace

void install()
{
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.stateLock);
        s.downloadResults.clear();
        s.blocking = false;
        s.progressBlocking = false;
        s.progressResult = 0;
        s.downloads.clear();
        s.stopped.clear();
        s.answers.clear();
        s.polls.clear();
        s.firstAnswer = Answer{};
        s.keys.clear();
    }
    const CommandFunction previous = setCommandFunction(&fakeCommand);
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.previous = previous == &fakeCommand ? nullptr : previous;
}

void uninstall()
{
    release();
    releaseProgress();
    State& s = state();
    CommandFunction previous = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.stateLock);
        previous = s.previous;
    }
    setCommandFunction(previous);
}

void queueDownloadResult(std::int32_t result, bool handle)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.downloadResults.emplace_back(result, handle);
}

void setBlocking(bool blocking)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.blocking = blocking;
    s.released.notify_all();
}

void release()
{
    setBlocking(false);
}

void setProgressBlocking(bool blocking)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.progressBlocking = blocking;
    s.released.notify_all();
}

void releaseProgress()
{
    setProgressBlocking(false);
}

void setProgress(std::uint32_t handle, std::uint32_t st, std::uint64_t total, std::uint64_t got)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.answers[handle] = Answer{st, total, got};
}

void setFirstAnswer(std::uint32_t st, std::uint64_t total, std::uint64_t got)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.firstAnswer = Answer{st, total, got};
}

std::vector<std::string> keys()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.keys;
}

void setProgressResult(std::int32_t result)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    s.progressResult = result;
}

std::vector<Download> downloads()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.downloads;
}

int blockedDownloads()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.blocked;
}

std::vector<std::uint32_t> stopped()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.stopped;
}

int polls(std::uint32_t handle)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    const auto found = s.polls.find(handle);
    return found == s.polls.end() ? 0 : found->second;
}

int blockedPolls()
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.stateLock);
    return s.blockedProgress;
}

}  // namespace fake_downloads
