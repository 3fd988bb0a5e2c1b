// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing callback of one decoder: called with a QPainter on each
// picture before the picture is shown.
#pragma once

#include "MIVU.h"

#include <QImage>

#include <atomic>
#include <shared_mutex>

namespace mivu {

class OsdHook {
public:
    // Replaces the callback (null removes it). When it returns, the old
    // callback is not running and will not be called again. False when
    // called from inside a drawing callback, where waiting would deadlock.
    // Any thread.
    bool set(MIVU_OSDCallback callback, void* userData);

    // Lets the callback draw on the picture. Decode threads.
    void draw(QImage& picture);

    // A callback is set: it draws in the picture's own pixels. Any thread.
    bool isSet() const { return m_registered.load(); }

    // True on a thread that is inside a drawing callback right now.
    static bool insideCallback();

private:
    std::atomic<bool> m_registered{false};  // a quick look without the lock
    std::shared_mutex m_callbackLock;  // guards m_callback, m_userData; shared while calling
    MIVU_OSDCallback m_callback = nullptr;
    void* m_userData = nullptr;
};

}  // namespace mivu
