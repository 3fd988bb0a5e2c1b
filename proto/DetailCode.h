// SPDX-License-Identifier: GPL-3.0-or-later
// Detail codes: why the recorder refused a request. They travel as the
// "code" of a response and come out of libTOVR as the detail output of a
// call that returned 7. Stream error kinds use the same numbers where the
// meaning is shared (18 no right, 28 sub stream not encoded, 41 other).
// They never collide with the library's own results 1..8.
#pragma once

#include <cstdint>

namespace velk::proto {

enum DetailCode : std::int32_t {
    kDetailNone = 0,
    kDetailUnknownUser = 0x10,             // no user of that name
    kDetailWrongPassword = 0x11,           // the proof did not match the user's password
    kDetailNoRight = 0x12,                 // the user may not do this (e.g. view this channel)
    kDetailTooManyClients = 0x13,          // the recorder serves no more connections
    kDetailUnsupportedVersion = 0x14,      // no common protocol version
    kDetailBadRequest = 0x15,              // malformed or unknown request
    kDetailNotLoggedIn = 0x16,             // request needs a login first
    kDetailNoSuchChannel = 0x17,           // channel number out of range
    kDetailSubstreamNotEncoded = 0x1C,     // the sub stream of the channel is not encoded
    kDetailInternal = 0x29,                // any other failure in the recorder
};

}  // namespace velk::proto
