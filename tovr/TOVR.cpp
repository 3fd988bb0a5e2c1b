// SPDX-License-Identifier: GPL-3.0-or-later
// The C entry point. No exception leaves it; every call is traced when
// TOVR_TRACE names a file.
#include "TOVR.h"

#include "Library.h"
#include "TraceLog.h"

#include "proto/DetailCode.h"

// The public detail codes are the recorder's own.
static_assert(int(TOVR_DETAIL_UNKNOWN_USER) == int(velk::proto::kDetailUnknownUser));
static_assert(int(TOVR_DETAIL_WRONG_PASSWORD) == int(velk::proto::kDetailWrongPassword));
static_assert(int(TOVR_DETAIL_NO_RIGHT) == int(velk::proto::kDetailNoRight));
static_assert(int(TOVR_DETAIL_TOO_MANY_CLIENTS) == int(velk::proto::kDetailTooManyClients));
static_assert(int(TOVR_DETAIL_UNSUPPORTED_VERSION) == int(velk::proto::kDetailUnsupportedVersion));
static_assert(int(TOVR_DETAIL_BAD_REQUEST) == int(velk::proto::kDetailBadRequest));
static_assert(int(TOVR_DETAIL_NOT_LOGGED_IN) == int(velk::proto::kDetailNotLoggedIn));
static_assert(int(TOVR_DETAIL_NO_SUCH_CHANNEL) == int(velk::proto::kDetailNoSuchChannel));
static_assert(int(TOVR_DETAIL_SUBSTREAM_NOT_ENCODED) == int(velk::proto::kDetailSubstreamNotEncoded));
static_assert(int(TOVR_DETAIL_INTERNAL) == int(velk::proto::kDetailInternal));

extern "C" TOVR_API int32_t TOVR_JsonCommand(const char* commandText, uint32_t* handleOut, char* response,
                                             uint32_t responseSize, uint32_t* detailOut)
{
    std::int32_t result = TOVR_ERR_REFUSED;
    try {
        result = velk::tovr::Library::instance().execute(commandText, handleOut, response, responseSize, detailOut);
    } catch (...) {
        result = TOVR_ERR_REFUSED;
    }
    try {
        velk::tovr::TraceLog::instance().append(commandText, result);
    } catch (...) {
    }
    return result;
}
