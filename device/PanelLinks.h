// SPDX-License-Identifier: GPL-3.0-or-later
// What a device session asks of the panels that show its recorder. The
// preview and playback panels implement these, so the device link does not
// depend on the panels' code.
#pragma once

#include "platform/Window.h"

#include <QString>

#include <cstdint>

class DeviceSession;

class IPreviewLink {
public:
    virtual ~IPreviewLink() = default;
    // At login: device handle, record folder, recorder address and web port
    // (the panel loads its channel order), and the session itself.
    virtual void setDevice(std::uint32_t deviceHandle, const QString& recordFolder) = 0;
    virtual void setDeviceAddress(const QString& address, std::uint32_t webPort) = 0;
    virtual void setSession(DeviceSession* session) = 0;
    virtual void setControlWindow(platform::WindowHandle control) = 0;

    virtual void closeAllChannels(int reasonFlag) = 0;
    virtual void capture(const QString& snapFolder, const QString& address) = 0;
    // 0, or 0x8002001f when the folder cannot be used or a file could not be created.
    virtual std::int32_t startLocalRecord(const QString& recordFolder, const QString& address) = 0;
    virtual void stopLocalRecord() = 0;
    virtual int activeChannel() const = 0;                 // -1 when none
    virtual std::uint32_t streamType() const = 0;
    // Asks every existing window to switch; returns the last window's result.
    virtual std::uint32_t switchStreamType(std::uint32_t type) = 0;
    virtual std::uint32_t openChannelMask() const = 0;
    virtual void setRecordFolder(const QString& folder) = 0;
};

class IPlaybackLink {
public:
    virtual ~IPlaybackLink() = default;
    virtual void setDevice(std::uint32_t deviceHandle, const QString& address, std::uint32_t webPort) = 0;
    virtual void setSnapFolder(const QString& folder) = 0;
    virtual void setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                                 const QString& end) = 0;
};
