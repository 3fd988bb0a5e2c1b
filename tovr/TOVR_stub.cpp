// SPDX-License-Identifier: GPL-3.0-or-later
#include "TOVR.h"
extern "C" int32_t TOVR_JsonCommand(const char*, uint32_t*, char*, uint32_t, uint32_t*) { return TOVR_ERR_REFUSED; }
