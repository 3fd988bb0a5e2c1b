// SPDX-License-Identifier: GPL-3.0-or-later
// One sub-picture of a decoder: a bounded frame queue, a decode thread with
// its video (H.264 or H.265) and G.711 decoders, and the window handle the pictures go to.
//
// The feeder only parses the container header and copies the payload into
// the queue. The decode thread decodes, converts into an RGB32 image, waits
// until the picture is due (playback only), lets the drawing callback draw,
// and hands the picture to the window. It keeps the last shown picture (as
// decoded, without the drawing) for captures.
#pragma once

#include "mivu/AudioDecoder.h"
#include "mivu/DecoderSettings.h"
#include "mivu/FrameQueue.h"
#include "mivu/PictureConverter.h"
#include "mivu/PictureTimes.h"
#include "mivu/SoundOutput.h"
#include "mivu/VideoDecoder.h"

#include "MIVUStream.h"
#include "platform/Window.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

namespace mivu {

class SubPicture {
public:
    // slot: the sub-picture's index in its decoder.
    SubPicture(DecoderSettings& settings, platform::WindowHandle target, std::size_t slot);
    // Stops the thread (see stop()).
    ~SubPicture();
    SubPicture(const SubPicture&) = delete;
    SubPicture& operator=(const SubPicture&) = delete;

    // Starts the decode thread; false when it cannot be made. Any thread.
    bool start();
    // Discards the queue and waits for the decode thread to end. Any thread
    // but its own decode thread.
    void stop();
    bool isOwnThread() const;

    // Takes one container frame (a MIVU_* result). Feeder thread.
    std::int32_t input(std::span<const std::uint8_t> data);
    // Drops the queue; decoding starts again at the next key frame. Any thread.
    void reset();
    // The decoder's pause, speed or step changed: look again. Any thread.
    void wake();
    // Adds pictures to show while paused; 0 forgets the remaining ones. Any thread.
    void setStepCredits(int count, bool add);

    // Sound on or off; the state is kept even without an audio output. Any thread.
    void setSound(bool on) { m_sound->setOn(on); }
    bool soundOn() const { return m_sound->isOn(); }

    // Writes the last shown picture as a BMP file (a MIVU_* result). Any thread.
    std::int32_t capture(const char* path) const;
    MIVU_Statistics statistics() const;

private:
    // The decode thread's loop. Decode thread.
    void run();
    // Waits for the next frame, or for a reset (flush set). False to stop. Decode thread.
    bool takeFrame(QueuedFrame& frame, bool& flush);
    bool mayTakeFrameLocked() const;
    // Tells the decoder's clock the oldest frame this one has yet to show
    // (playback). With m_queueLock held.
    void publishPendingLocked();
    // Decode thread.
    void decodeVideo(QueuedFrame& frame);
    // Reopens the video decoder when a key frame brings another codec; the
    // old decoder's held-back pictures are shown first. Decode thread.
    void followCodec(const QueuedFrame& frame);
    // Shows a picture that came out of the video decoder, with the time its
    // place in display order gives it. Decode thread.
    void pictureOut(AVFrame* picture);
    void showPicture(AVFrame* picture, std::int64_t pts);
    // Waits until a playback picture is due; false when it is to be
    // discarded (stop or reset). Decode thread.
    bool waitUntilDue(std::uint64_t frameTimeMs);
    void playAudio(QueuedFrame& frame);

    DecoderSettings& m_settings;
    const platform::WindowHandle m_target;
    const std::size_t m_slot;
    const bool m_live;

    mutable std::mutex m_queueLock;  // guards m_queue, m_stopping, m_resetPending, m_stepCredits, m_decodingTimeMs
    std::condition_variable m_queueChanged;  // with m_queueLock
    FrameQueue m_queue;
    bool m_stopping = false;
    bool m_resetPending = false;
    int m_stepCredits = 0;
    std::optional<std::uint64_t> m_decodingTimeMs;  // of the video frame taken and not yet done with

    std::thread m_thread;

    // Decode thread only.
    VideoDecoder m_video;
    PictureTimes m_pictureTimes;
    PictureConverter m_converter;
    AudioDecoder m_audio;
    std::uint64_t m_lastFrameTimeMs = 0;
    bool m_haveFrameTime = false;
    std::uint8_t m_frameRate = 25;
    FramePtr m_spare;
    std::vector<std::int16_t> m_samples;

    mutable std::mutex m_lastShownLock;  // guards m_lastShown
    FramePtr m_lastShown;                // as decoded; empty before the first picture

    // Shared with a queued opening of the output on the main thread.
    const std::shared_ptr<SoundOutput> m_sound = std::make_shared<SoundOutput>();

    std::atomic<std::uint64_t> m_picturesDecoded{0};
    std::atomic<std::uint64_t> m_picturesPresented{0};
    std::atomic<std::uint64_t> m_picturesNotPresented{0};
    std::atomic<std::uint64_t> m_decodeErrors{0};
    std::atomic<std::uint64_t> m_decodeCpuUs{0};
    std::atomic<std::uint64_t> m_threadCpuUs{0};
    std::uint64_t m_showCpuUs = 0;  // decode thread only: spent showing, within a decode call
    std::atomic<std::int32_t> m_width{0};
    std::atomic<std::int32_t> m_height{0};
    std::atomic<std::uint64_t> m_shownFrameTimeMs{0};
};

}  // namespace mivu
