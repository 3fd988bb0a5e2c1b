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

/* Device notification kinds delivered to the LOGIN callback. */
enum {
    TOVR_DEVICE_NOTIFY_LOGOUT = 3,
    TOVR_DEVICE_NOTIFY_STATE_CHANGED = 8
};

/* Device callback registered by LOGIN ("CALLBACK" holds its address,
 * "USERDATA" is passed back as userData). Runs on a library thread. */
typedef int32_t (*TOVR_DeviceCallback)(uint32_t kind, uint32_t userData, uint32_t value1,
                                       uint32_t value2, uint32_t value3);

/* Executes one command text. handleOut, response and detailOut may be null.
 * Callable from several threads at once. */
TOVR_API int32_t TOVR_JsonCommand(const char* commandText, uint32_t* handleOut, char* response,
                                  uint32_t responseSize, uint32_t* detailOut);

#ifdef __cplusplus
}
#endif

#endif
