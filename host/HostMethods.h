// SPDX-License-Identifier: GPL-3.0-or-later
// The host's own methods for scripts, tests and pages, named with a "$":
//   $typelib          the type library (names, ProgID, methods, events)
//   $debug            the debug lines written since the last call
//   $grab [path]      a PNG of what the user sees of the control; with a path
//                     (stdio only) written to that file, without one returned
//                     as base64 in the answer
//   $input {object}   one mouse, wheel or key input at control coordinates
#pragma once

namespace host {

class InputInjector;
class JsonRpcDispatcher;
class ScreenGrabber;

void registerHostMethods(JsonRpcDispatcher& dispatcher, const ScreenGrabber& grabber, InputInjector& injector);

}  // namespace host
