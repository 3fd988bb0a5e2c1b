// SPDX-License-Identifier: GPL-3.0-or-later
// The reference part of docs/automation.md, written from the dispatch table,
// the event table and the type library identity.
#pragma once

#include <string>

// The line that separates the hand-written introduction from the generated
// reference.
extern const char* const kAutomationDocMarker;

// The marker line followed by the generated Markdown.
std::string automationDocument();
