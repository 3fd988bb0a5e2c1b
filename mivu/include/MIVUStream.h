/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The decode-render library's inner interface, used by the network library:
 * open a decoder on window handles, feed it the recorder's container frames,
 * close it. Results are the MIVU_* codes of MIVU.h.
 *
 * A decoder has one sub-picture per window handle, each with its own frame
 * queue and decode thread. The feeder only copies a frame into the queue, so
 * MIVU_InputFrame never blocks for long. Live decoders show each picture as
 * soon as it is decoded; when a live queue is full the frame is dropped (and
 * counted), and so is every delta frame after it up to the next key frame.
 * Playback decoders show pictures paced by their frame times and the speed,
 * on one clock for all sub-pictures: pictures of the same frame time show
 * together in every window. A full playback queue refuses the frame with
 * MIVU_ERR_BUSY so that the feeder can hold back the stream and offer the
 * frame again later. */
#ifndef VELK_MIVU_STREAM_H
#define VELK_MIVU_STREAM_H

#include "MIVU.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    MIVU_MODE_LIVE = 0,
    MIVU_MODE_PLAYBACK = 1
};

/* Counters of one sub-picture since the decoder was opened. */
typedef struct MIVU_Statistics {
    uint64_t framesQueued;          /* container frames taken into the queue (dropped later or not) */
    uint64_t framesDropped;         /* dropped at the queue: full, or deltas before a key frame */
    uint64_t framesPending;         /* in the queue now */
    uint64_t picturesDecoded;
    uint64_t picturesPresented;     /* handed to the window */
    uint64_t picturesNotPresented;  /* decoded while no window was registered under the handle */
    uint64_t decodeErrors;          /* packets or pictures the decoder refused */
    uint64_t decodeCpuUs;           /* CPU time of the decode thread inside libavcodec */
    uint64_t threadCpuUs;           /* CPU time of the decode thread in all (decoding,
                                       conversion to RGB, drawing callback, hand-off) */
    int32_t width;                  /* of the last decoded picture; 0 before the first */
    int32_t height;
    uint64_t shownFrameTimeMs;      /* frame time of the picture last shown; 0 before the first */
} MIVU_Statistics;

/* Opens a decoder with one sub-picture per window handle (count
 * 1..MIVU_MAX_SUBPICTURES; a handle of 0 decodes without showing) in the
 * given mode. Writes the decoder handle to *decoder. */
MIVU_API int32_t MIVU_OpenStream(const uint32_t* windows, int32_t count, int32_t mode, uint32_t* decoder);

/* Feeds one complete container frame (12-byte header with "2dc", items, then
 * H.264 Annex B or G.711) to sub-picture index. The bytes are copied.
 * MIVU_ERR_ARGUMENT for a malformed frame; a frame of an unknown kind is
 * accepted and ignored; MIVU_ERR_BUSY from a full playback queue (the frame
 * was not taken). Called from the network library's thread. */
MIVU_API int32_t MIVU_InputFrame(uint32_t decoder, int32_t index, const uint8_t* data, uint32_t length);

/* After a seek: drops every queued frame, each sub-picture starts again at
 * the next key frame, and the playback clock is anchored again by the first
 * picture after it. Pause and speed are kept; the pictures last shown stay
 * in their windows. */
MIVU_API int32_t MIVU_ResetStream(uint32_t decoder);

/* Closes the decoder: its threads stop (queued frames are discarded), its
 * sound stops, and the handle is no longer valid. Waits for the decode
 * threads, so it must not be called from the drawing callback
 * (MIVU_ERR_BUSY). */
MIVU_API int32_t MIVU_CloseStream(uint32_t decoder);

/* Playback: the frame time (ms since 1970 UTC, from the frames' time items)
 * of the picture shown last in any sub-picture since the open or the last
 * MIVU_ResetStream; 0 before it. Live decoders answer 0 too. */
MIVU_API int32_t MIVU_GetPlaybackTime(uint32_t decoder, uint64_t* frameTimeMs);

/* Counters of sub-picture index. */
MIVU_API int32_t MIVU_GetStatistics(uint32_t decoder, int32_t index, MIVU_Statistics* statistics);

#ifdef __cplusplus
}
#endif

#endif
