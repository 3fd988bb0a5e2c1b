// SPDX-License-Identifier: GPL-3.0-or-later
// The transport-independent JSON-RPC 2.0 dispatcher: one request text in,
// one response text out (through a callback), for the control's methods from
// the dispatch table and for the host's own `$` methods.
//
// Requests are handled one at a time on the UI thread, but not atomically: a
// method that opens a modal dialog runs a nested event loop, in which further
// requests from any transport are dispatched and answered before it answers
// itself. Nothing here keeps state across a call for that reason.
//
// A batch (a JSON array of requests) runs its members in order, each as if
// it came alone; its answer is one array of the members' answers, sent once
// every member has answered (a member that opens a dialog holds the rest of
// its batch and the batch's answer until the dialog closes).
#pragma once

#include "host/JsonText.h"
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
    // A longer batch is refused as a whole (one -32600).
    static constexpr std::size_t kMaxBatchRequests = 100;

    explicit JsonRpcDispatcher(CVELK_DVRCtrl& control);

    JsonRpcDispatcher(const JsonRpcDispatcher&) = delete;
    JsonRpcDispatcher& operator=(const JsonRpcDispatcher&) = delete;

    // Registers a host method; its name starts with "$" and, like every
    // method name, matches case-insensitively.
    void addHostMethod(const QString& name, HostMethod method);

    // Handles one request text or batch. `send` receives the response line
    // (without a line break) once, now or later. Returns whether an answer is
    // due: false for a notification and for a batch of notifications only,
    // for which `send` is never called. UI thread only.
    bool handleMessage(const QByteArray& text, const CallerContext& caller, const RpcResponder::Send& send);

private:
    bool handleBatch(const std::vector<JsonNode>& members, const CallerContext& caller,
                     const RpcResponder::Send& send);
    bool handleRequest(const JsonNode& request, const CallerContext& caller, const RpcResponder::Send& send);
    void callControlMethod(const MethodInfo& method, const JsonNode* params, const RpcResponder& responder);

    CVELK_DVRCtrl& m_control;
    std::map<QString, HostMethod> m_hostMethods;  // by lower-case name
};

}  // namespace host
