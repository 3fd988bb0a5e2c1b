// SPDX-License-Identifier: GPL-3.0-or-later
// The host over stdin/stdout, as scripts use it.
#include "HostProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace {

// One host for the calls that do not end it; each test leaves it as it was.
class StdioHost : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_host = std::make_unique<HostProcess>();
        ASSERT_TRUE(s_host->start());
    }
    static void TearDownTestSuite() { s_host.reset(); }

    HostProcess& host() { return *s_host; }

    // The error of a call that must fail, with its message.
    std::pair<int, QString> failure(const QString& method, const QJsonValue& params)
    {
        const QJsonObject response = host().call(method, params);
        EXPECT_TRUE(response.contains(QLatin1String("error")))
            << qPrintable(method) << ": " << QJsonDocument(response).toJson(QJsonDocument::Compact).constData();
        const QJsonObject error = response.value(QLatin1String("error")).toObject();
        return {error.value(QLatin1String("code")).toInt(), error.value(QLatin1String("message")).toString()};
    }

    static std::unique_ptr<HostProcess> s_host;
};

std::unique_ptr<HostProcess> StdioHost::s_host;

TEST_F(StdioHost, ResultsCarryTheTypesTheTableDeclares)
{
    EXPECT_EQ(resultOf(host().call("GetVolume", QJsonArray{12345})), QJsonValue(1000));
    // -1 from a UI4 method is the unsigned 4294967295.
    EXPECT_EQ(resultOf(host().call("StartView", QJsonArray{0, 0, 0})), QJsonValue(qint64(4294967295LL)));
    EXPECT_EQ(resultOf(host().call("CreateOsdMatrix", QJsonArray{"1_0_a_b_cd", 0})), QJsonValue("1_2_a_b_cd"));
    EXPECT_EQ(resultOf(host().call("SetLanguageString", QJsonArray{0, "IE_Open", "x"})), QJsonValue(0));
    EXPECT_EQ(resultOf(host().call("SwitchPage", QJsonArray{2})), QJsonValue(0));
    EXPECT_EQ(resultOf(host().call("SwitchPage", QJsonArray{0})), QJsonValue(0));
    // I4 stays signed.
    EXPECT_EQ(resultOf(host().call("GetActiveChannel", QJsonArray{12345})), QJsonValue(-2));
    const QJsonObject none = host().call("SetClientID", QJsonArray{7});
    EXPECT_TRUE(none.contains(QLatin1String("result")));
    EXPECT_TRUE(resultOf(none).isNull());
}

TEST_F(StdioHost, MethodNamesMatchWhateverTheirCase)
{
    EXPECT_EQ(resultOf(host().call("getvolume", QJsonArray{1})), QJsonValue(1000));
    EXPECT_EQ(resultOf(host().call("GETVOLUME", QJsonArray{1})), QJsonValue(1000));
    EXPECT_TRUE(resultOf(host().call("$TypeLib")).isObject());
}

TEST_F(StdioHost, NumericTextsAreAcceptedAsAutomationAcceptsThem)
{
    EXPECT_EQ(resultOf(host().call("GetVolume", QJsonArray{"12345"})), QJsonValue(1000));
    EXPECT_EQ(resultOf(host().call("GetVolume", QJsonArray{"4294967295"})), QJsonValue(1000));
    EXPECT_EQ(resultOf(host().call("SwitchPage", QJsonArray{"0"})), QJsonValue(0));
}

TEST_F(StdioHost, ArgumentsOutsideTheirTypeAreErrorsNamingTheArgument)
{
    const QJsonValue bad[] = {-1, qint64(4294967296LL), "abc", 1.5, true, QJsonValue::Null, QJsonArray{1}};
    for (const QJsonValue& value : bad) {
        const auto [code, message] = failure("GetVolume", QJsonArray{value});
        EXPECT_EQ(code, -32602) << qPrintable(message);
        EXPECT_TRUE(message.contains(QLatin1String("argument 1"))) << qPrintable(message);
    }
    // I2 range: RePlace(usType UI2, nX I2, nY I2).
    EXPECT_EQ(failure("RePlace", QJsonArray{0, 40000, 0}).first, -32602);
    EXPECT_EQ(failure("RePlace", QJsonArray{65536, 0, 0}).first, -32602);
    EXPECT_TRUE(resultOf(host().call("RePlace", QJsonArray{0, -1, 5})).isNull());
}

TEST_F(StdioHost, WrongArgumentCountsAndUnknownMethodsAreErrors)
{
    EXPECT_EQ(failure("GetVolume", QJsonArray{}).first, -32602);
    EXPECT_EQ(failure("GetVolume", QJsonArray{1, 2}).first, -32602);
    EXPECT_EQ(failure("GetVolume", QJsonValue::Undefined).first, -32602);
    EXPECT_EQ(failure("GetVolume", QJsonObject{{"DevId", 1}}).first, -32602);
    EXPECT_EQ(failure("NoSuchMethod", QJsonArray{}).first, -32601);
    EXPECT_EQ(failure("$nosuch", QJsonArray{}).first, -32601);
}

TEST_F(StdioHost, MalformedRequestsGetStandardErrors)
{
    host().sendLine("{not json");
    std::optional<QJsonObject> response = host().readMessage();
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(errorCodeOf(*response), -32700);
    EXPECT_TRUE(response->value(QLatin1String("id")).isNull());

    const std::pair<const char*, int> cases[] = {
        {R"({"id":1,"method":"GetVolume","params":[1]})", -32600},           // no "jsonrpc"
        {R"({"jsonrpc":"2.0","id":2,"method":7})", -32600},                    // method not a text
        {R"({"jsonrpc":"2.0","id":3,"method":"GetVolume","params":5})", -32600},
        {R"(42)", -32600},
    };
    for (const auto& [line, code] : cases) {
        host().sendLine(line);
        response = host().readMessage();
        ASSERT_TRUE(response.has_value()) << line;
        EXPECT_EQ(errorCodeOf(*response), code) << line;
    }
}

// The answer line as JSON (an object or a batch's array) to a request
// written over several lines here and sent as one.
QJsonDocument answerTo(HostProcess& host, const QByteArray& request)
{
    const QByteArray line = QByteArray(request).replace('\n', ' ');
    host.sendLine(line);
    const std::optional<QByteArray> answer = host.readLine();
    EXPECT_TRUE(answer.has_value()) << line.constData();
    return QJsonDocument::fromJson(answer.value_or(QByteArray()));
}

TEST_F(StdioHost, InvalidRequestsAreAnsweredWithIdNullEvenWithoutAnId)
{
    const QByteArray invalid[] = {
        R"({"jsonrpc":"2.0","method":1,"params":"bar"})",
        R"({"jsonrpc":"2.0","method":"GetVolume","params":5})",
        R"({"jsonrpc":"1.0","method":"GetVolume","params":[1]})",
        R"({"method":"GetVolume","params":[1]})",
        R"({"jsonrpc":"2.0","id":[1],"method":"GetVolume","params":[1]})",
        R"({"jsonrpc":"2.0","id":{},"method":"GetVolume","params":[1]})",
        R"({"jsonrpc":"2.0","id":1e999,"method":"GetVolume","params":[1]})",
        R"({"jsonrpc":"2.0","id":-1E+400,"method":"GetVolume","params":[1]})",
        R"("GetVolume")",
    };
    for (const QByteArray& line : invalid) {
        const QJsonObject answer = answerTo(host(), line).object();
        EXPECT_EQ(errorCodeOf(answer), -32600) << line.constData();
        EXPECT_TRUE(answer.contains(QLatin1String("id")) && answer.value(QLatin1String("id")).isNull()) << line.constData();
    }
    // A parse error is -32700 with id null.
    const QJsonObject parse = answerTo(host(), R"({"jsonrpc":"2.0","method":"GetVolume","params":[1],)").object();
    EXPECT_EQ(errorCodeOf(parse), -32700);
    EXPECT_TRUE(parse.value(QLatin1String("id")).isNull());
}

TEST_F(StdioHost, NumbersAreJudgedAsWrittenNotAsADoubleHoldsThem)
{
    // Valid JSON beyond a double's range is a wrong argument, not a parse error.
    for (const QByteArray number : {"1e400", "-1e400", "1e-400"}) {
        const QJsonObject answer =
            answerTo(host(), R"({"jsonrpc":"2.0","id":1,"method":"GetVolume","params":[)" + number + "]}").object();
        EXPECT_EQ(errorCodeOf(answer), -32602) << number.constData();
        EXPECT_TRUE(answer.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString().contains(
            QLatin1String(number)));
    }
    // The message quotes 2^64-1 as written, not as the double 1.8446744073709552e+19.
    const QJsonObject huge =
        answerTo(host(), R"({"jsonrpc":"2.0","id":2,"method":"GetVolume","params":[18446744073709551615]})").object();
    const QString message = huge.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString();
    EXPECT_EQ(errorCodeOf(huge), -32602);
    EXPECT_TRUE(message.contains(QLatin1String("got 18446744073709551615,"))) << qPrintable(message);
    // Integral numbers written with a fraction or exponent are integers.
    EXPECT_EQ(resultOf(answerTo(host(), R"({"jsonrpc":"2.0","id":3,"method":"GetVolume","params":[4294967295.0]})")
                           .object()),
              QJsonValue(1000));
    EXPECT_EQ(resultOf(answerTo(host(), R"({"jsonrpc":"2.0","id":4,"method":"SwitchPage","params":[2e0]})").object()),
              QJsonValue(0));
    resultOf(host().call("SwitchPage", QJsonArray{0}));
}

TEST_F(StdioHost, BatchesAnswerWithAnArrayOfTheirMembersAnswers)
{
    const QJsonArray answers = answerTo(host(), R"([
        {"jsonrpc":"2.0","id":"a","method":"GetVolume","params":[1]},
        {"jsonrpc":"2.0","method":"SetClientID","params":[3]},
        {"foo":"boo"},
        {"jsonrpc":"2.0","id":"c","method":"NoSuchMethod"},
        {"jsonrpc":"2.0","id":"d","method":"StartView","params":[0,0,0]},
        {"jsonrpc":"2.0","method":"NoSuchMethod"}
    ])").array();
    ASSERT_EQ(answers.size(), 4);  // the two notifications get none
    EXPECT_EQ(answers.at(0).toObject().value(QLatin1String("id")), QJsonValue("a"));
    EXPECT_EQ(resultOf(answers.at(0).toObject()), QJsonValue(1000));
    EXPECT_EQ(errorCodeOf(answers.at(1).toObject()), -32600);
    EXPECT_TRUE(answers.at(1).toObject().value(QLatin1String("id")).isNull());
    EXPECT_EQ(errorCodeOf(answers.at(2).toObject()), -32601);
    EXPECT_EQ(answers.at(3).toObject().value(QLatin1String("id")), QJsonValue("d"));
    EXPECT_EQ(resultOf(answers.at(3).toObject()), QJsonValue(qint64(4294967295LL)));

    // Members that are not requests are each answered as invalid.
    const QJsonArray scalars = answerTo(host(), "[1,2]").array();
    ASSERT_EQ(scalars.size(), 2);
    for (const QJsonValue& answer : scalars) {
        EXPECT_EQ(errorCodeOf(answer.toObject()), -32600);
        EXPECT_TRUE(answer.toObject().value(QLatin1String("id")).isNull());
    }
    // An empty batch is one invalid request.
    const QJsonDocument empty = answerTo(host(), "[]");
    ASSERT_TRUE(empty.isObject());
    EXPECT_EQ(errorCodeOf(empty.object()), -32600);
    EXPECT_TRUE(empty.object().value(QLatin1String("id")).isNull());
    // A batch beyond the limit is refused as a whole.
    QByteArray tooMany = "[";
    for (int i = 0; i < 101; ++i)
        tooMany += QByteArray(i ? "," : "") + R"({"jsonrpc":"2.0","id":1,"method":"GetVolume","params":[1]})";
    const QJsonDocument refused = answerTo(host(), tooMany + "]");
    ASSERT_TRUE(refused.isObject());
    EXPECT_EQ(errorCodeOf(refused.object()), -32600);
    // Input members answer when delivered; the batch waits for them.
    const QJsonArray inputs = answerTo(host(), R"([
        {"jsonrpc":"2.0","id":1,"method":"$input","params":{"type":"click","x":5,"y":5}},
        {"jsonrpc":"2.0","id":2,"method":"GetVolume","params":[1]}
    ])").array();
    ASSERT_EQ(inputs.size(), 2);
    EXPECT_TRUE(resultOf(inputs.at(0).toObject()).isNull());
}

TEST_F(StdioHost, ABatchOfNotificationsGetsNoAnswer)
{
    host().sendLine(R"([{"jsonrpc":"2.0","method":"SetClientID","params":[5]},{"jsonrpc":"2.0","method":"x"}])");
    // The next line is the answer to this call, not to the batch.
    EXPECT_EQ(resultOf(host().call("GetVolume", QJsonArray{1})), QJsonValue(1000));
}

TEST_F(StdioHost, NotificationsAreRunButNotAnswered)
{
    host().sendLine(R"({"jsonrpc":"2.0","method":"SetClientID","params":[5]})");
    host().sendLine(R"({"jsonrpc":"2.0","method":"NoSuchMethod"})");
    // The next line is the answer to this call, not to the notifications.
    const QJsonObject response = host().call("GetVolume", QJsonArray{1});
    EXPECT_EQ(resultOf(response), QJsonValue(1000));
}

TEST_F(StdioHost, TypeLibraryDescribesTheControl)
{
    const QJsonObject typelib = resultOf(host().call("$typelib")).toObject();
    EXPECT_EQ(typelib.value(QLatin1String("name")).toString(), QStringLiteral("VELK_DVRLib"));
    EXPECT_EQ(typelib.value(QLatin1String("version")).toString(), QStringLiteral("1.0"));
    EXPECT_EQ(typelib.value(QLatin1String("progId")).toString(), QStringLiteral("VELK_DVR.VELK_DVRCtrl.1"));
    const QJsonArray methods = typelib.value(QLatin1String("methods")).toArray();
    const QJsonArray events = typelib.value(QLatin1String("events")).toArray();
    EXPECT_EQ(methods.size(), 22);
    ASSERT_EQ(events.size(), 4);
    EXPECT_EQ(events.at(3).toObject().value(QLatin1String("name")).toString(),
              QStringLiteral("ReTurnPreviewAllChannelState"));
    for (const QJsonValue& method : methods) {
        const QJsonObject m = method.toObject();
        // The type library describes GetVolume without its argument.
        if (m.value(QLatin1String("name")).toString() == QLatin1String("GetVolume")) {
            EXPECT_TRUE(m.value(QLatin1String("args")).toArray().isEmpty());
        }
        if (m.value(QLatin1String("name")).toString() == QLatin1String("Login")) {
            const QJsonArray args = m.value(QLatin1String("args")).toArray();
            ASSERT_EQ(args.size(), 4);
            EXPECT_EQ(args.at(1).toObject().value(QLatin1String("name")).toString(), QStringLiteral("MediaPort"));
            EXPECT_EQ(args.at(1).toObject().value(QLatin1String("type")).toString(), QStringLiteral("UI4"));
            EXPECT_EQ(m.value(QLatin1String("result")).toString(), QStringLiteral("BSTR"));
        }
    }
}

TEST_F(StdioHost, DebugLinesAreTexts)
{
    const QJsonValue first = resultOf(host().call("$debug"));
    ASSERT_TRUE(first.isArray());
    for (const QJsonValue& line : first.toArray())
        EXPECT_TRUE(line.isString());
}

TEST_F(StdioHost, GrabWritesAPngOfTheControl)
{
    const QString path = host().homePath() + QStringLiteral("/grab.png");
    const QJsonObject result = resultOf(host().call("$grab", QJsonArray{path})).toObject();
    EXPECT_EQ(result.value(QLatin1String("path")).toString(), path);
    EXPECT_EQ(result.value(QLatin1String("width")).toInt(), 960);
    EXPECT_EQ(result.value(QLatin1String("height")).toInt(), 540);
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(960, 540));

    // Without a path the picture comes back in the answer.
    const QJsonObject inline_ = resultOf(host().call("$grab")).toObject();
    const QImage fromAnswer = QImage::fromData(
        QByteArray::fromBase64(inline_.value(QLatin1String("png")).toString().toLatin1()), "PNG");
    EXPECT_EQ(fromAnswer.size(), QSize(960, 540));

    EXPECT_EQ(errorCodeOf(host().call("$grab", QJsonArray{42})), -32602);
}

TEST_F(StdioHost, GrabIntoAFileThatCannotBeWrittenIsAnError)
{
    // A full device, a missing folder, a folder itself.
    const QString paths[] = {QStringLiteral("/dev/full"), host().homePath() + QStringLiteral("/no/such/dir/x.png"),
                             host().homePath()};
    for (const QString& path : paths) {
        const QJsonObject response = host().call("$grab", QJsonArray{path});
        EXPECT_EQ(errorCodeOf(response), -32000) << qPrintable(path);
        EXPECT_TRUE(response.value(QLatin1String("error")).toObject().value(QLatin1String("message")).toString()
                        .contains(path));
    }
    EXPECT_FALSE(QFileInfo::exists(host().homePath() + QStringLiteral("/no")));

    // A picture that fails to replace an older one leaves the older one whole.
    const QString path = host().homePath() + QStringLiteral("/kept.png");
    resultOf(host().call("$grab", QJsonArray{path}));
    const QByteArray before = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(before.isEmpty());
    QFile::setPermissions(host().homePath(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QJsonObject refused = host().call("$grab", QJsonArray{path});
    QFile::setPermissions(host().homePath(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(errorCodeOf(refused), -32000);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
    }
}

TEST_F(StdioHost, InputIsDeliveredAndAnswered)
{
    const QJsonObject inputs[] = {
        {{"type", "move"}, {"x", 300}, {"y", 200}},
        {{"type", "click"}, {"x", 950}, {"y", 530}},
        {{"type", "dblclick"}, {"x", 950}, {"y", 530}},
        {{"type", "press"}, {"x", 950}, {"y", 530}, {"button", "left"}},
        {{"type", "release"}, {"x", 950}, {"y", 530}, {"button", "left"}},
        {{"type", "wheel"}, {"x", 950}, {"y", 530}, {"delta", 120}},
        {{"type", "key"}, {"key", "Escape"}},
        {{"type", "key"}, {"key", "a"}},
    };
    for (const QJsonObject& input : inputs) {
        const QJsonObject response = host().call("$input", input);
        EXPECT_TRUE(resultOf(response).isNull())
            << QJsonDocument(input).toJson(QJsonDocument::Compact).constData();
    }
    EXPECT_TRUE(resultOf(host().call("$input", QJsonArray{QJsonObject{{"type", "key"}, {"key", "Tab"}}})).isNull());
    EXPECT_EQ(errorCodeOf(host().call("$input", QJsonObject{{"type", "tap"}})), -32602);
    EXPECT_EQ(errorCodeOf(host().call("$input", QJsonObject{{"type", "click"}, {"x", 1}})), -32602);
    EXPECT_EQ(errorCodeOf(host().call("$input", QJsonArray{})), -32602);
}

TEST(StdioHostLife, EndOfInputEndsTheHostCleanly)
{
    HostProcess host({QStringLiteral("--stdio"), QStringLiteral("--size"), QStringLiteral("640x360")});
    ASSERT_TRUE(host.start());
    const QString path = host.homePath() + QStringLiteral("/small.png");
    const QJsonObject grab = resultOf(host.call("$grab", QJsonArray{path})).toObject();
    EXPECT_EQ(grab.value(QLatin1String("width")).toInt(), 640);
    EXPECT_EQ(grab.value(QLatin1String("height")).toInt(), 360);
    // Input still being delivered at the end of input is answered first.
    host.sendLine(R"({"jsonrpc":"2.0","id":"last","method":"$input","params":{"type":"click","x":5,"y":5}})");
    EXPECT_EQ(host.closeInputAndWait(), 0);
    const std::optional<QJsonObject> answer = host.readMessage(1000);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->value(QLatin1String("id")).toString(), QStringLiteral("last"));
}

}  // namespace
