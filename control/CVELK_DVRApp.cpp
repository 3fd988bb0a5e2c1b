// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/CVELK_DVRApp.h"

#include "device/CDeviceManage.h"
#include "device/CommandEnvelope.h"

void CVELK_DVRApp::initInstance()
{
    sendCommand(CommandEnvelope("INIT"));
}

void CVELK_DVRApp::exitInstance()
{
    CDeviceManage::shutdown();
    sendCommand(CommandEnvelope("UNINIT"));
}
