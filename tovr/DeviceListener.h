// SPDX-License-Identifier: GPL-3.0-or-later
// What a device tells the streams opened on it. Every call runs on the
// library's I/O thread.
#pragma once

#include <cstdint>

namespace velk::tovr {

class DeviceListener {
public:
    virtual ~DeviceListener() = default;

    // The device is logged in again after a loss: streams may reconnect.
    virtual void onDeviceOnline() = 0;
    // The device's control connection was lost.
    virtual void onDeviceLost() = 0;
    // The device is gone for good: logged out (loggedOut) or shut down with
    // the library.
    virtual void onDeviceClosed(bool loggedOut) = 0;
    // REQUESTIFRAME: a key frame is wanted on the device's open streams of
    // this stream type whose channel bit is set in channelMask.
    virtual void onKeyFrameWanted(std::uint32_t channelMask, std::uint32_t streamType) = 0;
};

}  // namespace velk::tovr
