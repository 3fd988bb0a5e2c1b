// SPDX-License-Identifier: GPL-3.0-or-later
// Panels that log what a device session asks of them.
#pragma once

#include "device/PanelLinks.h"

#include <QString>
#include <QStringList>

class FakePreview : public IPreviewLink {
public:
    void setDevice(std::uint32_t handle, const QString& folder) override
    {
        log << QString("setDevice %1 %2").arg(handle).arg(folder);
    }
    void setDeviceAddress(const QString& address, std::uint32_t webPort) override
    {
        log << QString("setDeviceAddress %1 %2").arg(address).arg(webPort);
    }
    void setSession(DeviceSession* s) override { session = s; }
    void setControlWindow(platform::WindowHandle) override {}
    void closeAllChannels(int reasonFlag) override { log << QString("closeAllChannels %1").arg(reasonFlag); }
    void capture(const QString& folder, const QString& address) override { log << "capture " + folder + " " + address; }
    std::int32_t startLocalRecord(const QString& folder, const QString& address) override
    {
        log << "startLocalRecord " + folder + " " + address;
        return recordResult;
    }
    void stopLocalRecord() override {}
    int activeChannel() const override { return active; }
    std::uint32_t streamType() const override { return currentStreamType; }
    std::uint32_t switchStreamType(std::uint32_t type) override
    {
        log << QString("switchStreamType %1").arg(type);
        return switchResult;
    }
    std::uint32_t openChannelMask() const override { return openMask; }
    void setRecordFolder(const QString&) override {}

    QStringList log;
    DeviceSession* session = nullptr;
    int active = -1;
    std::uint32_t currentStreamType = 0;
    std::uint32_t switchResult = 0;
    std::int32_t recordResult = 0;
    std::uint32_t openMask = 0;
};

class FakePlayback : public IPlaybackLink {
public:
    void setDevice(std::uint32_t handle, const QString& address, std::uint32_t webPort) override
    {
        log << QString("setDevice %1 %2 %3").arg(handle).arg(address).arg(webPort);
    }
    void setSnapFolder(const QString& folder) override { log << "setSnapFolder " + folder; }
    void setRecordPeriod(std::uint32_t channel, std::uint32_t recordType, const QString& start,
                         const QString& end) override
    {
        log << QString("setRecordPeriod %1 %2 %3 %4").arg(channel).arg(recordType).arg(start, end);
    }

    QStringList log;
};
