/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The decode-render library: the calls that steer a decoder.
 *
 * A stream that the network library opens on a window renders into that
 * window by itself; the network library gives out the handle of its decoder
 * (a nonzero 32-bit value, unique while the decoder is open). These calls
 * take that handle first and return MIVU_OK (0) on success. All of them are
 * callable from any thread and return quickly; none of them may be called
 * from inside the drawing callback. */
#ifndef VELK_MIVU_H
#define VELK_MIVU_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MIVU_API __attribute__((visibility("default")))

/* Results */
enum {
    MIVU_OK = 0,
    MIVU_ERR_HANDLE = 1,      /* no open decoder under the handle */
    MIVU_ERR_ARGUMENT = 2,    /* an argument out of range, a null path, a malformed frame */
    MIVU_ERR_NO_PICTURE = 3,  /* capture before the sub-picture showed anything */
    MIVU_ERR_WRITE = 4,       /* the picture file could not be written */
    MIVU_ERR_RESOURCE = 5,    /* the decoder or its thread could not be made */
    MIVU_ERR_BUSY = 6         /* the call would wait for itself (from the drawing
                                 callback), or a playback queue is full */
};

/* Highest number of sub-pictures in one decoder. */
#define MIVU_MAX_SUBPICTURES 16

/* Drawing callback: called for each picture before it is shown, on the
 * decoder's thread, with the user data given at registration, a QPainter*
 * open on the picture as the drawing context, and the picture's size in
 * pixels. The result is ignored. It must not call this library, nor wait
 * for the thread that may close the decoder (closing waits for it). */
typedef int32_t (*MIVU_OSDCallback)(void* userData, void* drawContext, int32_t width, int32_t height);

/* Sound of one sub-picture (0 for a live window), switch 1 on / 0 off. The
 * sound plays on the default audio output at the process volume; without an
 * audio output the switch is still kept and the call succeeds. Switched on
 * from a thread other than the application's main thread, the output is
 * opened shortly after, on the main thread. */
MIVU_API int32_t MIVU_SetSound(uint32_t decoder, int32_t index, int32_t on);

/* Registers the drawing callback of every sub-picture of the decoder; a null
 * callback removes it. When this returns, a replaced or removed callback is
 * no longer running and will not be called again (so this waits for a call
 * in progress: do not hold a lock here that the callback takes). */
MIVU_API int32_t MIVU_RegisterOSDCallBack(uint32_t decoder, MIVU_OSDCallback callback, void* userData);

/* Writes the picture last shown in one sub-picture (0 for a live window) to
 * the path (UTF-8) as a BMP file, without what the drawing callback drew.
 * MIVU_ERR_NO_PICTURE before the first picture, MIVU_ERR_WRITE when the file
 * cannot be written. */
MIVU_API int32_t MIVU_CapturePicture(uint32_t decoder, int32_t index, const char* path);

/* Playback: 1 pauses, 0 resumes. A live decoder keeps the switch and goes on
 * showing pictures as they arrive. */
MIVU_API int32_t MIVU_Pause(uint32_t decoder, int32_t pause);

/* Playback speed code: 1 normal, n > 1 n times faster, -n one n-th of normal
 * (-1 is normal too); n up to 64. 0 and codes beyond 64 are refused with
 * MIVU_ERR_ARGUMENT. A live decoder keeps the code. */
MIVU_API int32_t MIVU_SetSpeed(uint32_t decoder, int32_t speed);

/* Playback: pauses, then shows the next count pictures of each sub-picture
 * (count 1..1000), as soon as they are decoded. MIVU_Pause(decoder, 0) goes
 * back to normal play. A live decoder accepts and ignores it. */
MIVU_API int32_t MIVU_PlayFrame(uint32_t decoder, int32_t count);

#ifdef __cplusplus
}
#endif

#endif
