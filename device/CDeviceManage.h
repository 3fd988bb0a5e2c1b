// SPDX-License-Identifier: GPL-3.0-or-later
// The process-wide list of live sessions. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

class DeviceSession;

class CDeviceManage {
public:
    static CDeviceManage& instance();
    // Deletes every listed session without logging out, writing the debug
    // lines "~CDeviceManage 1" and "~CDeviceManage 2". Called at module end.
    static void shutdown();

    void add(DeviceSession* session);             // takes ownership
    bool contains(std::uint32_t id) const;
    DeviceSession* find(std::uint32_t id) const;  // nullptr when not listed
    void remove(DeviceSession* session);          // deletes it when listed
    std::size_t size() const { return m_sessions.size(); }

private:
    CDeviceManage() = default;
    ~CDeviceManage();
    std::vector<DeviceSession*> m_sessions;
};
