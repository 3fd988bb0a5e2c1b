// SPDX-License-Identifier: GPL-3.0-or-later
// Every source of the recorder (--source): one CameraSource per address, a
// channel's main stream and its sub stream being two. Each hands its frames
// and losses to its feed by posting them to the I/O thread; posted work that
// runs after this object is gone does nothing. Made, started and stopped on
// the I/O thread (by the Recorder); status() too.
#pragma once

#include "CameraFeed.h"
#include "CameraSource.h"
#include "RecorderOptions.h"

#include <boost/asio/io_context.hpp>

#include <json/value.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velk::recorder {

class CameraSources {
public:
    using Log = std::function<void(const std::string&)>;

    // Timings of every source (tests shorten them); address, channel and log are filled in here.
    CameraSources(boost::asio::io_context& io, CameraFeeds& feeds, Log log, CameraSourceSettings timings = {});
    ~CameraSources();
    CameraSources(const CameraSources&) = delete;
    CameraSources& operator=(const CameraSources&) = delete;

    // Makes and starts the sources of the options (the feeds exist already).
    // False and message when a credentials file cannot be used.
    bool start(const std::vector<SourceOption>& sources, std::string& message);
    // Ends every source's thread; returns within about a second even with
    // cameras that do not answer.
    void stop();

    // One object per source, for /sim/status.
    Json::Value status() const;

private:
    class Poster;

    boost::asio::io_context& m_io;
    CameraFeeds& m_feeds;
    const Log m_log;
    const CameraSourceSettings m_timings;
    // Posted work holds it weakly: it does nothing once this object is gone.
    std::shared_ptr<const bool> m_alive = std::make_shared<const bool>(true);
    std::vector<std::unique_ptr<Poster>> m_posters;
    std::vector<std::unique_ptr<CameraSource>> m_sources;
};

}  // namespace velk::recorder
