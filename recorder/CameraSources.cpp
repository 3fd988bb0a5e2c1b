// SPDX-License-Identifier: GPL-3.0-or-later
#include "CameraSources.h"

#include "SourceAddress.h"

#include <boost/asio/post.hpp>

namespace velk::recorder {

// Hands one source's frames and losses to its feed on the I/O thread.
class CameraSources::Poster : public CameraSourceSink {
public:
    Poster(boost::asio::io_context& io, CameraFeeds& feeds, std::weak_ptr<const bool> alive, std::uint32_t channel,
           std::uint32_t streamType)
        : m_io(io), m_feeds(feeds), m_alive(std::move(alive)), m_channel(channel), m_streamType(streamType)
    {
    }

    void onSourceFrame(const CameraFormat& format, CameraFrame frame) override
    {
        boost::asio::post(m_io, [alive = m_alive, feeds = &m_feeds, channel = m_channel, streamType = m_streamType,
                                 format, frame = std::move(frame)]() mutable {
            if (!alive.lock())
                return;
            if (CameraFeed* feed = feeds->find(channel, streamType))
                feed->publish(format, std::move(frame));
        });
    }

    void onSourceLost(const std::string& reason) override
    {
        boost::asio::post(m_io, [alive = m_alive, feeds = &m_feeds, channel = m_channel, streamType = m_streamType,
                                 reason] {
            if (!alive.lock())
                return;
            if (CameraFeed* feed = feeds->find(channel, streamType))
                feed->markLost(reason);
        });
    }

private:
    boost::asio::io_context& m_io;
    CameraFeeds& m_feeds;
    const std::weak_ptr<const bool> m_alive;
    const std::uint32_t m_channel;
    const std::uint32_t m_streamType;
};

CameraSources::CameraSources(boost::asio::io_context& io, CameraFeeds& feeds, Log log, CameraSourceSettings timings)
    : m_io(io), m_feeds(feeds), m_log(std::move(log)), m_timings(std::move(timings))
{
}

CameraSources::~CameraSources()
{
    stop();
    m_alive.reset();
}

bool CameraSources::start(const std::vector<SourceOption>& sources, std::string& message)
{
    for (const SourceOption& source : sources) {
        std::string user;
        std::string password;
        if (!source.credentialsFile.empty() &&
            !readCredentialsFile(source.credentialsFile, user, password, message)) {
            message = "--source " + std::to_string(source.channel) + ": " + message;
            return false;
        }
        const std::string* addresses[2] = {&source.url, &source.subUrl};
        for (std::uint32_t streamType = 0; streamType < 2; ++streamType) {
            const std::string& address = *addresses[streamType];
            if (address.empty())
                continue;
            CameraSourceSettings settings = m_timings;
            settings.channel = source.channel;
            settings.streamType = streamType;
            settings.address = !user.empty() && isRtspAddress(address) ? withCredentials(address, user, password)
                                                                        : address;
            settings.shownAddress = shownAddress(settings.address);
            settings.log = m_log;
            m_posters.push_back(std::make_unique<Poster>(m_io, m_feeds, m_alive, source.channel, streamType));
            m_sources.push_back(std::make_unique<CameraSource>(std::move(settings), *m_posters.back()));
        }
    }
    for (const auto& source : m_sources)
        source->start();
    return true;
}

void CameraSources::stop()
{
    // Every thread is asked first, so that they end together.
    for (const auto& source : m_sources)
        source->requestStop();
    for (const auto& source : m_sources)
        source->stop();
}

Json::Value CameraSources::status() const
{
    Json::Value list(Json::arrayValue);
    for (const auto& source : m_sources) {
        const CameraSourceSettings& settings = source->settings();
        const CameraSource::Status status = source->status();
        Json::Value v(Json::objectValue);
        v["channel"] = settings.channel;
        v["streamType"] = settings.streamType;
        v["url"] = settings.shownAddress;
        v["state"] = stateName(status.state);
        v["lostReason"] = status.lostReason;
        v["reconnects"] = Json::UInt64(status.reconnects);
        v["frames"] = Json::UInt64(status.frames);
        v["keyFrames"] = Json::UInt64(status.keyFrames);
        v["bytes"] = Json::UInt64(status.bytes);
        v["width"] = status.format.width;
        v["height"] = status.format.height;
        v["codec"] = status.format.codec == media::VideoCodec::H265 ? "h265" : "h264";
        v["frameRate"] = status.format.frameRate;
        list.append(v);
    }
    return list;
}

}  // namespace velk::recorder
