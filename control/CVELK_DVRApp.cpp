// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/CVELK_DVRApp.h"

#include "device/CDeviceManage.h"
#include "device/CommandEnvelope.h"
#include "playback/BackupTask.h"

namespace {

// How long the module's end waits for backup threads still running.
constexpr std::uint32_t kBackupThreadsWaitMs = 2000;

}  // namespace

void CVELK_DVRApp::initInstance()
{
    sendCommand(CommandEnvelope("INIT"));
}

void CVELK_DVRApp::exitInstance()
{
    CDeviceManage::shutdown();  // ends every session's backups
    // A download thread may still be inside DOWNLOADVIDEO; give it a moment
    // to stop the handle it gets before the library goes.
    playback::waitForBackupThreads(kBackupThreadsWaitMs);
    sendCommand(CommandEnvelope("UNINIT"));
}
