// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-ins around the playback session: the libraries (every command text
// and decoder call recorded, answers set by the test), the grid's windows
// and the control bar (what it was told to show).
#pragma once

#include "playback/PlaybackSession.h"

#include <QImage>

#include <json/json.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace playback_test {

class FakeLibrary : public playback::IPlaybackLibrary {
public:
    // Commands: a stop worker sends from its own thread.
    CommandResult command(const CommandEnvelope& text, bool /*wantHandle*/) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Json::Value parsed;
        Json::Reader().parse(text.toText(), parsed);
        const std::string key = parsed["KEY"].asString();
        m_commands.push_back(parsed);
        CommandResult result;
        if (auto it = m_results.find(key); it != m_results.end())
            result.result = it->second;
        if (key == "REMOTEPLAY" && result.result == 0)
            result.handle = m_playHandle;
        if (key == "GETDECODER" && result.result == 0)
            result.handle = m_decoder;
        return result;
    }
    std::int32_t pause(std::uint32_t decoder, std::int32_t pause) override
    {
        return call("pause", decoder, pause);
    }
    std::int32_t setSpeed(std::uint32_t decoder, std::int32_t speed) override
    {
        return call("speed", decoder, speed);
    }
    std::int32_t playFrame(std::uint32_t decoder, std::int32_t count) override
    {
        return call("frame", decoder, count);
    }
    std::int32_t setSound(std::uint32_t decoder, std::int32_t index, std::int32_t on) override
    {
        return call("sound" + std::to_string(index), decoder, on);
    }
    std::int32_t capturePicture(std::uint32_t decoder, std::int32_t index, const char* path) override
    {
        capturedPath = path;
        if (writePictures) {
            QImage picture(64, 36, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            picture.save(QString::fromUtf8(path), "BMP");
        }
        return call("capture", decoder, index);
    }
    void setVolume(std::uint32_t volume) override { call("volume", 0, static_cast<std::int32_t>(volume)); }

    std::string capturedPath;
    bool writePictures = true;  // capture writes a BMP file as the library does

    void setResult(const std::string& key, std::int32_t result)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_results[key] = result;
    }
    void setDecoderResult(const std::string& call, std::int32_t result) { m_decoderResults[call] = result; }
    void setPlayHandle(std::uint32_t handle) { m_playHandle = handle; }
    void setDecoder(std::uint32_t decoder) { m_decoder = decoder; }

    std::vector<Json::Value> commands(const std::string& key)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<Json::Value> out;
        for (const Json::Value& c : m_commands)
            if (c["KEY"].asString() == key)
                out.push_back(c);
        return out;
    }
    std::size_t count(const std::string& key) { return commands(key).size(); }
    std::size_t commandCount()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_commands.size();
    }
    // Decoder calls as "name(value)", in order.
    const std::vector<std::string>& calls() const { return m_calls; }
    void clear()
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_commands.clear();
        m_calls.clear();
    }

private:
    std::int32_t call(const std::string& name, std::uint32_t /*decoder*/, std::int32_t value)
    {
        m_calls.push_back(name + "(" + std::to_string(value) + ")");
        auto it = m_decoderResults.find(name);
        return it == m_decoderResults.end() ? 0 : it->second;
    }

    std::mutex m_lock;  // guards m_commands and m_results
    std::vector<Json::Value> m_commands;
    std::map<std::string, std::int32_t> m_results;
    std::map<std::string, std::int32_t> m_decoderResults;
    std::vector<std::string> m_calls;
    std::uint32_t m_playHandle = 0x51;
    std::uint32_t m_decoder = 0xD1;
};

class FakeWindow : public playback::IPlaybackWindow {
public:
    explicit FakeWindow(platform::WindowHandle view) : m_view(view) {}
    bool isPlaying() const override { return playing; }
    bool isActive() const override { return active; }
    void setPlaying(bool value) override { playing = value; }
    void setOccupied(bool value) override { occupied = value; }
    void setActive(bool value) override { active = value; }
    void setPictureSize(int w, int h) override
    {
        width = w;
        height = h;
    }
    void setShapeMode(int mode) override { shapeMode = mode; }
    platform::WindowHandle viewHandle() const override { return m_view; }
    void repaintView() override { ++repaints; }

    bool playing = false, occupied = false, active = false;
    int width = 0, height = 0, shapeMode = 0, repaints = 0;

private:
    platform::WindowHandle m_view;
};

class FakeBar : public playback::IPlaybackBarView {
public:
    FakeBar()
    {
        for (int i = 0; i < 16; ++i)
            windows.push_back(std::make_unique<FakeWindow>(0x700 + i));
    }
    QString text(const char* key) override { return QString::fromLatin1(key); }
    void setStatusText(const QString& text) override { status = text; }
    void setProgressText(const QString& text) override { progress = text; }
    void updateButtons(bool busy) override { buttonUpdates.push_back(busy); }
    void enableBar(bool enabled) override { barEnabled = enabled; }
    playback::IPlaybackWindow* allocateWindow() override
    {
        int occupied = 0;
        for (auto& w : windows)
            occupied += w->occupied ? 1 : 0;
        if (occupied >= freeWindows)
            return nullptr;
        for (auto& w : windows) {
            if (!w->occupied) {
                w->occupied = true;
                return w.get();
            }
        }
        return nullptr;
    }
    platform::DateTime cursorTime() override { return cursor; }
    void setPlayTime(const platform::DateTime& time) override { playTime = time; }
    void startWatchdog(std::uint32_t ms) override
    {
        watchdogMs = ms;
        ++watchdogStarts;
    }
    void killWatchdog() override { watchdogMs = 0; }
    void seekSelf(const platform::DateTime& time) override
    {
        selfSeeks.push_back(time);
        if (session)
            session->seek(time);
    }
    platform::WindowHandle windowHandle() const override { return handle; }

    playback::PlaybackSession* session = nullptr;
    std::vector<std::unique_ptr<FakeWindow>> windows;
    int freeWindows = 16;  // windows the grid lends at most
    QString status, progress;
    std::vector<bool> buttonUpdates;
    bool barEnabled = true;
    platform::DateTime cursor = platform::DateTime::fromParts(2026, 12, 8, 10, 15, 0);
    platform::DateTime playTime;
    std::uint32_t watchdogMs = 0;
    int watchdogStarts = 0;
    std::vector<platform::DateTime> selfSeeks;
    platform::WindowHandle handle = 0;
};

}  // namespace playback_test
