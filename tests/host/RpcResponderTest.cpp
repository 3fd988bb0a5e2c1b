// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/ArgumentCoercion.h"
#include "host/RpcResponder.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

TEST(Framing, LinesAreJsonRpcObjects)
{
    EXPECT_EQ(host::rpc::resultText(7, QJsonValue(qint64(4294967295LL))),
              R"({"id":7,"jsonrpc":"2.0","result":4294967295})");
    EXPECT_EQ(host::rpc::errorText(QJsonValue::Null, -32700, QStringLiteral("bad")),
              R"({"error":{"code":-32700,"message":"bad"},"id":null,"jsonrpc":"2.0"})");
    // Events carry their arguments by name; 64-bit lengths keep every digit.
    EXPECT_EQ(host::rpc::notificationText(QStringLiteral("UploadBackupProcess"),
                                          QJsonObject{{"TotalLen", host::variantToJson(Variant::ui8(5000000000ULL))},
                                                      {"percent", QStringLiteral("0.00")}}),
              R"({"jsonrpc":"2.0","method":"UploadBackupProcess","params":{"TotalLen":5000000000,"percent":"0.00"}})");
}

TEST(Framing, AResponderAnswersOnceAndNeverForANotification)
{
    QList<QByteArray> sent;
    const host::RpcResponder responder(QJsonValue(QStringLiteral("a")), false,
                                       [&sent](const QByteArray& line) { sent.append(line); });
    const host::RpcResponder copy = responder;
    copy.result(1);
    responder.error(-32000, QStringLiteral("late"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent.first().contains("\"result\":1"));

    const host::RpcResponder notification(QJsonValue(), true, [&sent](const QByteArray& line) { sent.append(line); });
    notification.result(2);
    EXPECT_EQ(sent.size(), 1);
}

}  // namespace
