// SPDX-License-Identifier: GPL-3.0-or-later
// The control: owns the four panels, the language table and the current
// session pointer; its window procedure turns private messages into events.
#pragma once

#include "control/Automation.h"
#include "platform/Window.h"

#include <memory>

class LanguageTable;
class DeviceSession;

class CVELK_DVRCtrl : public platform::CWnd {
public:
    CVELK_DVRCtrl();
    ~CVELK_DVRCtrl() override;

    // Where fired events go (the host). UI thread only.
    void setEventSink(EventSink sink);

    // The automation methods are reached through the dispatch table
    // (control/Automation.h); the members they call are declared in
    // CVELK_DVRCtrl's own section of the implementation.
};
