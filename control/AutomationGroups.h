// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatch table is kept in one file per group of methods; each group
// appends its rows, and Automation.cpp orders them by dispid.
#pragma once

#include "control/Automation.h"

#include <vector>

namespace automation_detail {

using Args = std::vector<Variant>;

void addSessionMethods(std::vector<MethodInfo>& table);
void addPreviewMethods(std::vector<MethodInfo>& table);
void addPlaybackMethods(std::vector<MethodInfo>& table);
void addScheduleMethods(std::vector<MethodInfo>& table);
void addOverlayMethods(std::vector<MethodInfo>& table);

// Shorthands for the table rows.
constexpr VarType UI4 = VarType::UI4;
constexpr VarType I4 = VarType::I4;
constexpr VarType UI2 = VarType::UI2;
constexpr VarType I2 = VarType::I2;
constexpr VarType BSTR = VarType::BSTR;
constexpr VarType None = VarType::Empty;

}  // namespace automation_detail
