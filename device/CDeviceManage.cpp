// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/CDeviceManage.h"

#include "device/DeviceSession.h"
#include "platform/Debug.h"

#include <algorithm>

namespace {

// UI thread only: the list, created on first use and deleted by shutdown().
CDeviceManage* g_instance = nullptr;

}  // namespace

CDeviceManage& CDeviceManage::instance()
{
    if (!g_instance) {
        g_instance = new CDeviceManage;
    }
    return *g_instance;
}

void CDeviceManage::shutdown()
{
    CDeviceManage* list = &instance();
    g_instance = nullptr;
    delete list;
}

CDeviceManage::~CDeviceManage()
{
    platform::debugOutput("~CDeviceManage 1\n");
    // Sessions are deleted without LOGOUT: the module is going away.
    std::vector<DeviceSession*> sessions;
    sessions.swap(m_sessions);
    for (DeviceSession* session : sessions) {
        delete session;
    }
    platform::debugOutput("~CDeviceManage 2\n");
}

void CDeviceManage::add(DeviceSession* session)
{
    // Listing a session twice would delete it twice.
    if (session && std::find(m_sessions.begin(), m_sessions.end(), session) == m_sessions.end()) {
        m_sessions.push_back(session);
    }
}

bool CDeviceManage::contains(std::uint32_t id) const
{
    return find(id) != nullptr;
}

DeviceSession* CDeviceManage::find(std::uint32_t id) const
{
    for (DeviceSession* session : m_sessions) {
        if (session->id() == id) {
            return session;
        }
    }
    return nullptr;
}

void CDeviceManage::remove(DeviceSession* session)
{
    const auto found = std::find(m_sessions.begin(), m_sessions.end(), session);
    if (found == m_sessions.end()) {
        return;
    }
    m_sessions.erase(found);
    delete session;
}
