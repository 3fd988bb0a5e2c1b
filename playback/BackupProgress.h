// SPDX-License-Identifier: GPL-3.0-or-later
// What the control's window takes with WM_BACKUP_NOTIFY (0x413..0x418):
// wParam points to the backup key as a zero-terminated UTF-8 text, lParam to
// a BackupProgress (device/BackupLink.h). Both must stay valid until the
// control has handled the message. A null lParam fires nothing. The backup
// threads never send or post these themselves: they leave copies in the
// backup mailbox (BackupMailbox.h), which the control turns into them.
#pragma once

#include "device/BackupLink.h"
