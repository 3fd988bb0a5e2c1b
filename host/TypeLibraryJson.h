// SPDX-License-Identifier: GPL-3.0-or-later
// The type library as JSON, made from the dispatch and event tables: what a
// page or script learns about the control before calling it.
#pragma once

#include <QJsonObject>

namespace host {

// {"name", "version", "progId", "dispatchInterface", "eventInterface",
//  "helpFile", "doc": {...}, "methods": [{dispid, name, args: [{name, type}],
//  result}], "events": [{dispid, name, params: [{name, type}]}]}.
// Only the methods the type library describes are listed, with the argument
// lists it gives them.
QJsonObject typeLibraryJson();

}  // namespace host
