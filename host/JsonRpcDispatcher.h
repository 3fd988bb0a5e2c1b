// SPDX-License-Identifier: GPL-3.0-or-later
// The transport-independent JSON-RPC 2.0 dispatcher: one request text in,
// one response text out (through a callback), for the control's methods from
// the dispatch table and for the host's own `$` methods.
//
// Requests are handled one at a time on the UI thread, but not atomically: a
// method that opens a modal dialog runs a nested event loop, in which further
// requests from any transport are dispatched and answered before it answers
// itself. Nothing here keeps state across a call for that reason.
#pragma once

#include "host/RpcResponder.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <map>

class CVELK_DVRCtrl;
struct MethodInfo;

namespace host {

// A host method: gets the request's params (undefined when absent) and
// answers through the responder, at once or later.
using HostMethod = std::function<void(const QJsonValue& params, const CallerContext& caller,
                                      const RpcResponder& responder)>;

class JsonRpcDispatcher {
public:
    explicit JsonRpcDispatcher(CVELK_DVRCtrl& control);

    JsonRpcDispatcher(const JsonRpcDispatcher&) = delete;
    JsonRpcDispatcher& operator=(const JsonRpcDispatcher&) = delete;

    // Registers a host method; its name starts with "$" and, like every
    // method name, matches case-insensitively.
    void addHostMethod(const QString& name, HostMethod method);

    // Handles one request text. `send` receives the response line (without a
    // line break), now or later. Returns whether an answer is due: false for
    // a notification, for which `send` is never called. UI thread only.
    bool handleMessage(const QByteArray& text, const CallerContext& caller, const RpcResponder::Send& send);

private:
    void callControlMethod(const MethodInfo& method, const QJsonValue& params, const RpcResponder& responder);

    CVELK_DVRCtrl& m_control;
    std::map<QString, HostMethod> m_hostMethods;  // by lower-case name
};

}  // namespace host
