/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The network library's one entry point. Every request is one JSON command
 * text; see docs/recorder-protocol.md for the commands and results. */
#ifndef VELK_TOVR_H
#define VELK_TOVR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TOVR_API __attribute__((visibility("default")))

/* Results */
enum {
    TOVR_OK = 0,
    TOVR_ERR_REFUSED = 1,      /* malformed text, unknown command or handle */
    TOVR_ERR_UNREACHABLE = 5,  /* the recorder could not be reached */
    TOVR_ERR_BROKEN = 6,       /* the connection broke */
    TOVR_ERR_DEVICE = 7,       /* the recorder refused; its code in the detail output */
    TOVR_ERR_TIMEOUT = 8       /* no answer in time */
};

/* Detail codes: the detail output of a call that returned TOVR_ERR_DEVICE
 * (7), i.e. why the recorder refused. They never collide with results. */
enum {
    TOVR_DETAIL_UNKNOWN_USER = 0x10,          /* no user of that name */
    TOVR_DETAIL_WRONG_PASSWORD = 0x11,        /* the password did not match */
    TOVR_DETAIL_NO_RIGHT = 0x12,              /* the user may not do this */
    TOVR_DETAIL_TOO_MANY_CLIENTS = 0x13,      /* the recorder serves no more connections */
    TOVR_DETAIL_UNSUPPORTED_VERSION = 0x14,   /* no common protocol version */
    TOVR_DETAIL_BAD_REQUEST = 0x15,           /* the recorder did not understand the request */
    TOVR_DETAIL_NOT_LOGGED_IN = 0x16,         /* the request needs a login first */
    TOVR_DETAIL_NO_SUCH_CHANNEL = 0x17,       /* channel number out of range */
    TOVR_DETAIL_SUBSTREAM_NOT_ENCODED = 0x1C, /* the channel's sub stream is not encoded */
    TOVR_DETAIL_INTERNAL = 0x29               /* any other failure in the recorder */
};

/* Device notification kinds delivered to the LOGIN callback. The library
 * passes on the recorder's device notifications with their own kind, and
 * reports kind 8 itself when the connection to the recorder is lost and
 * again when it is back (it reconnects in the background). */
enum {
    TOVR_DEVICE_NOTIFY_LOGOUT = 3,
    TOVR_DEVICE_NOTIFY_STATE_CHANGED = 8,
    /* An alarm on the recorder raised or over: value1 the channel (0-based),
     * value2 its kind (TOVR_ALARM_*), value3 1 raised, 0 over. */
    TOVR_DEVICE_NOTIFY_ALARM = 16
};

/* Kinds of alarm (value2 of TOVR_DEVICE_NOTIFY_ALARM). */
enum {
    TOVR_ALARM_MOTION = 0,  /* motion detected in the channel's picture */
    TOVR_ALARM_INPUT = 1,   /* the channel's alarm input */
    TOVR_ALARM_OTHER = 2    /* a kind this library does not know */
};

/* Device callback registered by LOGIN ("CALLBACK" holds its address,
 * "USERDATA" is passed back as userData; value1..3 are 0 except for
 * TOVR_DEVICE_NOTIFY_ALARM). Runs on the
 * library's callback thread, one call at a time, never inside a
 * TOVR_JsonCommand call of the caller and never while the library holds a
 * lock that a command needs. No call for a device runs after its LOGOUT
 * (or UNINIT) has returned. */
typedef int32_t (*TOVR_DeviceCallback)(uint32_t kind, uint32_t userData, uint32_t value1,
                                       uint32_t value2, uint32_t value3);

/* Stream callback types: the first argument of the callback registered by
 * REALPLAY ("CALLBACK" holds its address, "USERDATA" is passed back as
 * userData). */
enum {
    TOVR_STREAM_DATA = 1,           /* data/length: one whole container frame ("2dc")
                                       as received, video or audio */
    TOVR_STREAM_VIDEOPROPERTY = 2,  /* data/length: NUL-terminated JSON text
                                       {"KEY":"VIDEOPROPERTY","PARAM":{"CHANNEL":c,"HEIGHT":h,"WIDTH":w}} */
    TOVR_STREAM_DEVICE_OFFLINE = 3, /* the recorder stayed away; the stream is over */
    TOVR_STREAM_ERROR = 4,          /* kind: TOVR_STREAM_ERROR_*; the stream is over */
    TOVR_STREAM_CONNECTION_LOST = 6,/* the connection was lost (the library reconnects by
                                       itself) or the recorder lost the channel's camera (no
                                       offline report for that); data follows again, starting
                                       with a type 2 and a key frame */
    TOVR_STREAM_TYPE_CHANGED = 9,   /* kind: the new stream type (the recorder changed it) */
    TOVR_STREAM_BUFFERING = 11,     /* playback: frames do not come for now */
    TOVR_STREAM_BUFFERED = 12       /* playback: they come again */
};

/* The same types on a playback (REMOTEPLAY) mean:
 *   1  the first frame after the open and after each seek (data: the frame);
 *   2  a JSON text: VIDEOPROPERTY with CHANNEL = the slot (position of the
 *      channel among the selected ones), or
 *      {"KEY":"FRAMEINFO","PARAM":{"TIME":"YYYYMMDDhhmmss"}}, the time of the
 *      picture shown now, in the recorder's local time;
 *   3  the connection was lost (or the device logged out); the playback is over;
 *   4  kind TOVR_STREAM_ERROR_PLAYBACK_END: nothing more to play (a seek may follow);
 *   6  the recorder ended the playback with an error (kind: its detail code);
 *      the playback is over;
 *   11 / 12 buffering / buffering over. */

/* Kinds of TOVR_STREAM_ERROR, shared with the detail codes. */
enum {
    TOVR_STREAM_ERROR_NO_RIGHT = 18,                /* the user may not view the channel */
    TOVR_STREAM_ERROR_SUBSTREAM_NOT_ENCODED = 28,   /* the channel encodes no sub stream */
    TOVR_STREAM_ERROR_OTHER = 41,                   /* any other refusal */
    TOVR_STREAM_ERROR_PLAYBACK_END = 52             /* playback: the recordings of the day are over */
};

/* Stream callback registered by REALPLAY or REMOTEPLAY. Calls for one
 * stream come in order on one of the library's callback threads, never
 * inside a TOVR_JsonCommand call of the caller, never before the REALPLAY
 * (REMOTEPLAY) that made the play handle has returned, and never after its
 * REALPLAYSTOP (REMOTEPLAYSTOP) has returned. data is valid during the call
 * only. userData is pointer-sized (the caller's object). The result is
 * ignored. */
typedef int32_t (*TOVR_StreamCallback)(uint32_t type, void* userData, const uint8_t* data, uint32_t length,
                                       uint32_t kind);

/* Executes one command text. handleOut, response and detailOut may be null.
 * Callable from several threads at once. */
TOVR_API int32_t TOVR_JsonCommand(const char* commandText, uint32_t* handleOut, char* response,
                                  uint32_t responseSize, uint32_t* detailOut);

#ifdef __cplusplus
}
#endif

#endif
