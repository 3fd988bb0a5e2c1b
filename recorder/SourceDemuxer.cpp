// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceDemuxer.h"

#include "SourceAddress.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

#include <algorithm>
#include <cmath>

namespace velk::recorder {

namespace {

// The nominal frame rate, rounded, 1..255; 0 when the stream says nothing.
std::uint8_t nominalRate(const AVStream* stream)
{
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        return 0;
    const long rounded = std::lround(av_q2d(rate));
    return static_cast<std::uint8_t>(std::clamp(rounded, 1L, 255L));
}

// avcC / hvcC extradata (MP4, Matroska) rather than Annex B parameter sets.
bool lengthPrefixed(const AVCodecParameters* parameters)
{
    const std::uint8_t* data = parameters->extradata;
    const int size = parameters->extradata_size;
    if (size < 7)
        return false;
    const bool startCode = (data[0] == 0 && data[1] == 0 && data[2] == 1) ||
                           (data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 1);
    return !startCode && data[0] == 1;
}

}  // namespace

std::string avErrorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

SourceDemuxer::SourceDemuxer(const std::atomic<bool>& stop) : m_stop(stop) {}

SourceDemuxer::~SourceDemuxer()
{
    close();
}

void SourceDemuxer::close()
{
    av_bsf_free(&m_filter);
    avformat_close_input(&m_context);
    av_packet_free(&m_packet);
    m_parameterSets.reset();
    m_stream = -1;
}

int SourceDemuxer::interrupted(void* self)
{
    auto* demuxer = static_cast<SourceDemuxer*>(self);
    if (demuxer->m_stop.load())
        return 1;
    if (std::chrono::steady_clock::now() > demuxer->m_deadline) {
        demuxer->m_timedOut = true;
        return 1;
    }
    return 0;
}

bool SourceDemuxer::open(const std::string& address, int timeoutMs, std::string& reason)
{
    close();
    m_isFile = !hasScheme(address);
    m_context = avformat_alloc_context();
    m_packet = av_packet_alloc();
    if (!m_context || !m_packet) {
        reason = "out of memory";
        return false;
    }
    m_context->interrupt_callback.callback = &SourceDemuxer::interrupted;
    m_context->interrupt_callback.opaque = this;

    AVDictionary* options = nullptr;
    if (isRtspAddress(address)) {
        av_dict_set(&options, "rtsp_transport", "tcp", 0);
        // The socket's own timeout (microseconds), twice the deadlines
        // below, which are the ones that count: when it ran out first,
        // libavformat would hand out the picture its parser still held as
        // if the camera had sent something.
        av_dict_set(&options, "timeout", std::to_string(std::int64_t(timeoutMs) * 2000).c_str(), 0);
    }
    const auto seconds = std::to_string((timeoutMs + 999) / 1000);
    m_timedOut = false;
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int rc = avformat_open_input(&m_context, address.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (rc < 0) {
        reason = m_timedOut ? "no answer within " + seconds + " s" : "cannot open: " + avErrorText(rc);
        return false;
    }
    // Finding the format waits for a key frame, or gives up after 5 s of
    // stream (libavformat's analyze duration); this deadline only ends a
    // camera that connected and then sends nothing.
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs + 5000);
    rc = avformat_find_stream_info(m_context, nullptr);
    if (rc < 0) {
        reason = m_timedOut ? "no picture within " + std::to_string((timeoutMs + 5999) / 1000) + " s"
                            : "cannot read the stream: " + avErrorText(rc);
        return false;
    }
    m_stream = av_find_best_stream(m_context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (m_stream < 0) {
        reason = "no video stream";
        return false;
    }
    const AVStream* stream = m_context->streams[m_stream];
    const AVCodecParameters* parameters = stream->codecpar;
    if (parameters->codec_id != AV_CODEC_ID_H264 && parameters->codec_id != AV_CODEC_ID_HEVC) {
        reason = std::string("video is ") + avcodec_get_name(parameters->codec_id) + ", not H.264 or H.265";
        return false;
    }
    // Sound and anything else are not passed on.
    for (unsigned i = 0; i < m_context->nb_streams; ++i)
        m_context->streams[i]->discard = int(i) == m_stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    m_format.codec = parameters->codec_id == AV_CODEC_ID_HEVC ? media::VideoCodec::H265 : media::VideoCodec::H264;
    m_format.width = static_cast<std::uint16_t>(std::clamp(parameters->width, 0, 65535));
    m_format.height = static_cast<std::uint16_t>(std::clamp(parameters->height, 0, 65535));
    m_format.frameRate = nominalRate(stream);
    m_timeBaseNum = stream->time_base.num;
    m_timeBaseDen = stream->time_base.den;
    return setUpFilter(reason);
}

bool SourceDemuxer::setUpFilter(std::string& reason)
{
    const AVStream* stream = m_context->streams[m_stream];
    const AVCodecParameters* parameters = stream->codecpar;
    m_parameterSets = std::make_unique<ParameterSets>(m_format.codec);
    if (!lengthPrefixed(parameters)) {
        if (parameters->extradata_size > 0)
            m_parameterSets->learn({parameters->extradata, std::size_t(parameters->extradata_size)});
        return true;
    }
    const char* name = m_format.codec == media::VideoCodec::H265 ? "hevc_mp4toannexb" : "h264_mp4toannexb";
    const AVBitStreamFilter* kind = av_bsf_get_by_name(name);
    int rc = kind ? av_bsf_alloc(kind, &m_filter) : AVERROR_BSF_NOT_FOUND;
    if (rc >= 0)
        rc = avcodec_parameters_copy(m_filter->par_in, parameters);
    if (rc >= 0) {
        m_filter->time_base_in = stream->time_base;
        rc = av_bsf_init(m_filter);
    }
    if (rc < 0) {
        reason = std::string("cannot convert to Annex B (") + name + "): " + avErrorText(rc);
        return false;
    }
    // The filter's output parameters carry the parameter sets in Annex B.
    const AVCodecParameters* out = m_filter->par_out;
    if (out->extradata_size > 0)
        m_parameterSets->learn({out->extradata, std::size_t(out->extradata_size)});
    return true;
}

std::int64_t SourceDemuxer::frameInterval() const
{
    const int rate = m_format.frameRate > 0 ? m_format.frameRate : 25;
    return std::max<std::int64_t>(1, av_rescale(1, m_timeBaseDen, std::int64_t(m_timeBaseNum) * rate));
}

std::int64_t SourceDemuxer::microseconds(std::int64_t units) const
{
    return av_rescale(units, std::int64_t(m_timeBaseNum) * 1000000, m_timeBaseDen);
}

void SourceDemuxer::take(AVPacket* packet, DemuxedFrame& frame)
{
    const std::span<const std::uint8_t> data(packet->data, std::size_t(packet->size));
    frame.key = (packet->flags & AV_PKT_FLAG_KEY) != 0;
    if (frame.key) {
        // The size may be known only now (a camera whose first key frame
        // came after the format was read), or change at a key frame.
        const AVCodecParameters* parameters = m_context->streams[m_stream]->codecpar;
        if (parameters->width > 0 && parameters->height > 0) {
            m_format.width = static_cast<std::uint16_t>(std::min(parameters->width, 65535));
            m_format.height = static_cast<std::uint16_t>(std::min(parameters->height, 65535));
        }
    }
    if (frame.key)
        frame.annexB = m_parameterSets->keyFrame(data);
    else
        frame.annexB.assign(data.begin(), data.end());
    frame.dts = packet->dts != AV_NOPTS_VALUE ? std::optional<std::int64_t>(packet->dts) : std::nullopt;
    frame.duration = packet->duration > 0 ? packet->duration : 0;
}

SourceDemuxer::Read SourceDemuxer::read(DemuxedFrame& frame, int timeoutMs, std::string& reason)
{
    if (!m_context)
        return Read::Error;
    m_timedOut = false;
    m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (m_filter) {
            const int rc = av_bsf_receive_packet(m_filter, m_packet);
            if (rc == 0) {
                take(m_packet, frame);
                av_packet_unref(m_packet);
                return Read::Frame;
            }
            if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF) {
                reason = "cannot convert to Annex B: " + avErrorText(rc);
                return Read::Error;
            }
        }
        const int rc = av_read_frame(m_context, m_packet);
        if (rc < 0) {
            if (m_stop.load())
                return Read::Stopped;
            if (m_timedOut)
                return Read::TimedOut;
            if (rc == AVERROR_EOF)
                return Read::End;
            reason = "read error: " + avErrorText(rc);
            return Read::Error;
        }
        // A read the stop flag cut short gives a partial packet; one the
        // deadline cut short, the picture the parser still held: the source
        // is silent all the same.
        if (m_stop.load() || m_timedOut) {
            av_packet_unref(m_packet);
            return m_stop.load() ? Read::Stopped : Read::TimedOut;
        }
        if (m_packet->stream_index != m_stream || m_packet->size <= 0) {
            av_packet_unref(m_packet);
            continue;
        }
        if (!m_filter) {
            take(m_packet, frame);
            av_packet_unref(m_packet);
            return Read::Frame;
        }
        const int sent = av_bsf_send_packet(m_filter, m_packet);
        if (sent < 0) {
            av_packet_unref(m_packet);
            reason = "cannot convert to Annex B: " + avErrorText(sent);
            return Read::Error;
        }
    }
}

bool SourceDemuxer::rewind(std::string& reason)
{
    if (!m_context)
        return false;
    // Seeking by time is exact in MP4 and Matroska, which index their key
    // frames; elsewhere (MPEG-TS, raw streams) it may land past the first
    // key frame, and opening the file again is the sure way back.
    const std::string name = m_context->iformat->name;
    if (name.find("mov") == std::string::npos && name.find("matroska") == std::string::npos) {
        reason = "a " + name + " file is opened again rather than seeked";
        return false;
    }
    const AVStream* stream = m_context->streams[m_stream];
    const std::int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    m_timedOut = false;
    m_deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    const int rc = av_seek_frame(m_context, m_stream, start, AVSEEK_FLAG_BACKWARD);
    if (rc < 0) {
        reason = "cannot seek to the start: " + avErrorText(rc);
        return false;
    }
    if (m_filter)
        av_bsf_flush(m_filter);
    return true;
}

}  // namespace velk::recorder
