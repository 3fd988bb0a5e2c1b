// SPDX-License-Identifier: GPL-3.0-or-later
// The module object: brackets every use of the network library with INIT and
// UNINIT, and deletes the sessions still listed when the module unloads.
#pragma once

class CVELK_DVRApp {
public:
    // Sends {"KEY":"INIT"}; the result is ignored.
    static void initInstance();
    // Deletes every listed session (no LOGOUT), then sends {"KEY":"UNINIT"}.
    static void exitInstance();
};
