// SPDX-License-Identifier: GPL-3.0-or-later
// The host methods a page needs beyond scripts':
//   $methods            all methods of the dispatch table (name, dispid,
//                       argument names and types, result type, summary)
//   $view {fps}         subscribe this page to JPEG frames (fps 0: stop)
//   $ack                the page has drawn the frame sent last
//   $viewStats          what the frame streamer did: ticks, frames held for
//                       an ack or a full socket, grabs, encodes, frames and
//                       bytes sent, time spent grabbing and encoding
//   $resize [w, h]      the control (and, headless, its screen) take this size
#pragma once

class QWidget;

namespace host {

class FrameStreamer;
class JsonRpcDispatcher;

void registerPageMethods(JsonRpcDispatcher& dispatcher, FrameStreamer& streamer, QWidget& control);

}  // namespace host
