// SPDX-License-Identifier: GPL-3.0-or-later
#include "mivu/OsdHook.h"

#include <QPainter>

#include <mutex>

namespace mivu {

namespace {

thread_local bool t_insideCallback = false;

}  // namespace

bool OsdHook::insideCallback()
{
    return t_insideCallback;
}

bool OsdHook::set(MIVU_OSDCallback callback, void* userData)
{
    if (t_insideCallback)
        return false;
    std::unique_lock<std::shared_mutex> lock(m_callbackLock);
    m_callback = callback;
    m_userData = callback != nullptr ? userData : nullptr;
    m_registered.store(callback != nullptr);
    return true;
}

void OsdHook::draw(QImage& picture)
{
    if (!m_registered.load())
        return;
    std::shared_lock<std::shared_mutex> lock(m_callbackLock);
    if (m_callback == nullptr)
        return;
    QPainter painter(&picture);
    t_insideCallback = true;
    m_callback(m_userData, &painter, picture.width(), picture.height());
    t_insideCallback = false;
}

}  // namespace mivu
