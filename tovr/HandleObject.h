// SPDX-License-Identifier: GPL-3.0-or-later
// Anything the library hands out a handle for: a logged-in device now;
// play streams, decoders and downloads share the same handle space.
#pragma once

namespace velk::tovr {

class HandleObject {
public:
    virtual ~HandleObject() = default;

    // Ends the object's work: its connections close and none of its user
    // callbacks runs after this returns (unless called from that callback).
    // Any thread but the I/O thread.
    virtual void shutdown() = 0;
};

}  // namespace velk::tovr
