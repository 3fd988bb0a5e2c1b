// SPDX-License-Identifier: GPL-3.0-or-later
#include "proto/Message.h"

#include "proto/JsonText.h"

namespace velk::proto {

Message Message::request(std::uint32_t id, std::string method, Json::Value params)
{
    Message m;
    m.kind = MessageKind::Request;
    m.id = id;
    m.name = std::move(method);
    m.body = std::move(params);
    return m;
}

Message Message::response(std::uint32_t id, std::string method, std::int32_t code, Json::Value result)
{
    Message m;
    m.kind = MessageKind::Response;
    m.id = id;
    m.name = std::move(method);
    m.code = code;
    m.body = std::move(result);
    return m;
}

Message Message::notify(std::string event, Json::Value params)
{
    Message m;
    m.kind = MessageKind::Notify;
    m.name = std::move(event);
    m.body = std::move(params);
    return m;
}

std::string encodeMessage(const Message& message)
{
    Json::Value root(Json::objectValue);
    switch (message.kind) {
    case MessageKind::Hello:
        root = message.body.isObject() ? message.body : Json::Value(Json::objectValue);
        root["type"] = "hello";
        break;
    case MessageKind::Request:
        root["type"] = "request";
        root["id"] = message.id;
        root["method"] = message.name;
        root["params"] = message.body.isObject() ? message.body : Json::Value(Json::objectValue);
        break;
    case MessageKind::Response:
        root["type"] = "response";
        root["id"] = message.id;
        root["method"] = message.name;
        root["code"] = message.code;
        root["result"] = message.body.isObject() ? message.body : Json::Value(Json::objectValue);
        break;
    case MessageKind::Notify:
        root["type"] = "notify";
        root["event"] = message.name;
        root["params"] = message.body.isObject() ? message.body : Json::Value(Json::objectValue);
        break;
    }
    return writeJson(root);
}

std::optional<Message> decodeMessage(std::string_view payload)
{
    Json::Value root;
    if (!parseJsonObject(payload, root))
        return std::nullopt;
    const auto type = memberString(root, "type");
    if (!type)
        return std::nullopt;

    Message m;
    if (*type == "hello") {
        m.kind = MessageKind::Hello;
        root.removeMember("type");
        m.body = std::move(root);
        return m;
    }
    const char* bodyName = nullptr;
    if (*type == "request") {
        m.kind = MessageKind::Request;
        bodyName = "params";
    } else if (*type == "response") {
        m.kind = MessageKind::Response;
        bodyName = "result";
        const auto code = memberInt32(root, "code");
        if (!code)
            return std::nullopt;
        m.code = *code;
    } else if (*type == "notify") {
        m.kind = MessageKind::Notify;
        bodyName = "params";
    } else {
        return std::nullopt;
    }

    if (m.kind == MessageKind::Notify) {
        auto event = memberString(root, "event");
        if (!event)
            return std::nullopt;
        m.name = std::move(*event);
    } else {
        const auto id = memberUInt32(root, "id");
        auto method = memberString(root, "method");
        if (!id || !method)
            return std::nullopt;
        m.id = *id;
        m.name = std::move(*method);
    }

    const Json::Value& body = root[bodyName];
    if (body.isNull())
        m.body = Json::Value(Json::objectValue);
    else if (body.isObject())
        m.body = body;
    else
        return std::nullopt;
    return m;
}

}  // namespace velk::proto
