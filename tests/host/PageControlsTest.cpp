// SPDX-License-Identifier: GPL-3.0-or-later
// Each page its own control: what two pages see of each other (nothing),
// what a reload keeps (the control, logged in), what a page that leaves for
// good frees (its control, its process, its recorder session), and what the
// host's end does to the pages' controls.
#include "HostProcess.h"
#include "PageSocket.h"
#include "RecorderProcess.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>

namespace {

const QByteArray kPageOrigin = "http://127.0.0.1:8080";

// The processes whose parent is `pid` (the page processes of a host).
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        const qint64 candidate = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...: comm may hold spaces, so read after ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children << candidate;
    }
    return children;
}

bool processGone(qint64 pid)
{
    // A zombie has not been reaped yet, but it has ended.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

// A host serving pages, with its options.
class PageHost {
public:
    explicit PageHost(const QStringList& extra)
        : m_process(QStringList{QStringLiteral("--ws-port"), QStringLiteral("0")} + extra)
    {
    }

    bool start() { return m_process.start() && m_process.readWebSocketAddress(m_port, m_token); }

    // Opens a page, presenting a resume id when one is given.
    std::unique_ptr<Page> open(const QString& resumeId = QString(), const QString& extraQuery = QString())
    {
        std::unique_ptr<Page> page = begin(resumeId, extraQuery);
        page->waitOpened();
        return page;
    }
    // Starts opening one; the caller waits.
    std::unique_ptr<Page> begin(const QString& resumeId = QString(), const QString& extraQuery = QString())
    {
        auto page = std::make_unique<Page>();
        QString query = QStringLiteral("?token=") + m_token + extraQuery;
        if (!resumeId.isEmpty())
            query += QStringLiteral("&resume=") + resumeId;
        page->begin(QUrl(QStringLiteral("ws://127.0.0.1:%1/%2").arg(m_port).arg(query)), kPageOrigin,
                    "127.0.0.1:" + QByteArray::number(m_port));
        return page;
    }

    HostProcess& process() { return m_process; }

private:
    HostProcess m_process;
    quint16 m_port = 0;
    QString m_token;
};

QSize grabbedSize(Page& page)
{
    const QJsonObject picture = resultOf(page.call(QStringLiteral("$grab"), QJsonArray{})).toObject();
    return QSize(picture.value(QLatin1String("width")).toInt(), picture.value(QLatin1String("height")).toInt());
}

QJsonObject recorderStatus(RecorderProcess& recorder)
{
    const auto answer = recorder.http("GET", "/sim/status");
    return QJsonDocument::fromJson(answer.body).object();
}

TEST(PageControls, TwoPagesEachHaveAControlOfTheirOwn)
{
    PageHost host({});
    ASSERT_TRUE(host.start());
    std::unique_ptr<Page> first = host.open();
    std::unique_ptr<Page> second = host.open();
    ASSERT_TRUE(first->connected() && second->connected());
    EXPECT_FALSE(first->resumed());
    EXPECT_FALSE(second->resumed());
    EXPECT_EQ(first->resumeId().size(), 32);
    EXPECT_NE(first->resumeId(), second->resumeId());

    // One page's size, sound and input stay in its own control.
    resultOf(first->call(QStringLiteral("$resize"), QJsonArray{640, 360}));
    EXPECT_EQ(grabbedSize(*first), QSize(640, 360));
    EXPECT_EQ(grabbedSize(*second), QSize(960, 540));
    EXPECT_EQ(host.process().processId() > 0 ? childrenOf(host.process().processId()).size() : -1, 2);
    EXPECT_EQ(host.process().terminateAndWait(), 0);
}

TEST(PageControls, APageOnASharperScreenGetsASharperPicture)
{
    PageHost host({QStringLiteral("--resume-grace-ms"), QStringLiteral("0"), QStringLiteral("--max-pages"),
                   QStringLiteral("8")});
    ASSERT_TRUE(host.start());
    struct Case {
        const char* query;
        QSize picture;
    };
    // The ratio is taken in quarter steps from 1 to 3; anything else is 1.
    for (const Case c : {Case{"&dpr=2", {1920, 1080}}, Case{"&dpr=1.3", {1200, 675}}, Case{"&dpr=7", {2880, 1620}},
                         Case{"&dpr=abc", {960, 540}}, Case{"&dpr=0.5", {960, 540}}}) {
        std::unique_ptr<Page> page = host.open(QString(), QString::fromLatin1(c.query));
        ASSERT_TRUE(page->connected()) << c.query;
        EXPECT_EQ(grabbedSize(*page), c.picture) << c.query;
        page->close();
    }

    // Sizes stay in control pixels; input too: a click in the lower right
    // window of the grid selects that window, whose frame is drawn in the
    // lower right quarter of the device pixels.
    std::unique_ptr<Page> page = host.open(QString(), QStringLiteral("&dpr=2"));
    EXPECT_EQ(resultOf(page->call(QStringLiteral("$resize"), QJsonArray{640, 360})),
              QJsonValue(QJsonObject{{"width", 640}, {"height", 360}}));
    resultOf(page->call(QStringLiteral("ShowChannels"), QJsonArray{4}));
    const auto grab = [&page] {
        const QJsonObject picture = resultOf(page->call(QStringLiteral("$grab"), QJsonArray{})).toObject();
        return QImage::fromData(QByteArray::fromBase64(picture.value(QLatin1String("png")).toString().toLatin1()),
                                "PNG");
    };
    const QImage before = grab();
    EXPECT_EQ(before.size(), QSize(1280, 720));
    resultOf(page->call(QStringLiteral("$input"), QJsonArray{QJsonObject{{"type", "click"}, {"x", 480}, {"y", 270}}}));
    const QImage after = grab();
    EXPECT_EQ(after.size(), QSize(1280, 720));
    EXPECT_NE(after.copy(640, 360, 640, 360), before.copy(640, 360, 640, 360));
    EXPECT_EQ(host.process().terminateAndWait(), 0);
}

TEST(PageControls, AReloadResumesItsControlAndADuplicatedTabGetsItsOwn)
{
    PageHost host({QStringLiteral("--resume-grace-ms"), QStringLiteral("8000")});
    ASSERT_TRUE(host.start());
    std::unique_ptr<Page> page = host.open();
    ASSERT_TRUE(page->connected());
    const QString id = page->resumeId();
    resultOf(page->call(QStringLiteral("$resize"), QJsonArray{704, 396}));
    page->close();

    // The reload presents the id: the same control, as it was left.
    std::unique_ptr<Page> reloaded = host.open(id);
    ASSERT_TRUE(reloaded->connected());
    EXPECT_TRUE(reloaded->resumed());
    EXPECT_EQ(reloaded->resumeId(), id);
    EXPECT_EQ(grabbedSize(*reloaded), QSize(704, 396));

    // The reload's new connection may come before the old one is seen to
    // end: it still gets the control.
    std::unique_ptr<Page> again = host.begin(id);
    QTest::qWait(50);
    reloaded->close();
    ASSERT_TRUE(again->waitOpened());
    EXPECT_TRUE(again->resumed());
    EXPECT_EQ(grabbedSize(*again), QSize(704, 396));
    reloaded = std::move(again);

    // A second page presenting the id while the control is in use (a
    // duplicated tab copies sessionStorage) gets a control of its own.
    std::unique_ptr<Page> duplicate = host.open(id);
    ASSERT_TRUE(duplicate->connected());
    EXPECT_FALSE(duplicate->resumed());
    EXPECT_NE(duplicate->resumeId(), id);
    EXPECT_EQ(grabbedSize(*duplicate), QSize(960, 540));
    // Ids the host never gave, or not in its form, are new pages.
    for (const QString& foreign : {QStringLiteral("0123456789abcdef0123456789abcdef"), QStringLiteral("x"),
                                   id.toUpper()}) {
        std::unique_ptr<Page> stranger = host.open(foreign);
        ASSERT_TRUE(stranger->connected()) << qPrintable(foreign);
        EXPECT_FALSE(stranger->resumed()) << qPrintable(foreign);
        stranger->close();
    }
    EXPECT_EQ(grabbedSize(*reloaded), QSize(704, 396));
    EXPECT_EQ(host.process().terminateAndWait(), 0);
}

TEST(PageControls, AControlWhosePageDoesNotComeBackEndsAfterTheGraceTime)
{
    PageHost host({QStringLiteral("--resume-grace-ms"), QStringLiteral("400"), QStringLiteral("--max-pages"),
                   QStringLiteral("1")});
    ASSERT_TRUE(host.start());
    std::unique_ptr<Page> page = host.open();
    ASSERT_TRUE(page->connected());
    const QString id = page->resumeId();
    const QList<qint64> processes = childrenOf(host.process().processId());
    ASSERT_EQ(processes.size(), 1);
    page->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return processGone(processes.first()); }, 10000));

    // Its place is free, and its id resumes nothing.
    std::unique_ptr<Page> late = host.open(id);
    ASSERT_TRUE(late->connected());
    EXPECT_FALSE(late->resumed());
    EXPECT_EQ(host.process().terminateAndWait(), 0);
}

TEST(PageControls, TheHostsEndEndsEveryPagesControl)
{
    for (const int signal : {SIGTERM, SIGKILL}) {
        PageHost host({});
        ASSERT_TRUE(host.start());
        std::unique_ptr<Page> first = host.open();
        std::unique_ptr<Page> second = host.open();
        ASSERT_TRUE(first->connected() && second->connected());
        const QList<qint64> processes = childrenOf(host.process().processId());
        ASSERT_EQ(processes.size(), 2);
        ::kill(static_cast<pid_t>(host.process().processId()), signal);
        // Killed or asked, the host's page processes end their controls and
        // close their pages.
        EXPECT_TRUE(first->waitDisconnected()) << signal;
        EXPECT_TRUE(second->waitDisconnected()) << signal;
        EXPECT_EQ(first->socket().closeCode(), QWebSocketProtocol::CloseCodeGoingAway) << signal;
        for (const qint64 pid : processes)
            EXPECT_TRUE(QTest::qWaitFor([pid] { return processGone(pid); }, 10000)) << signal;
    }
}

TEST(PageControlsWithRecorder, AReloadStaysLoggedInAndAPageThatLeavesIsLoggedOut)
{
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("secret9")));
    PageHost host({QStringLiteral("--resume-grace-ms"), QStringLiteral("1500")});
    ASSERT_TRUE(host.start());
    std::unique_ptr<Page> page = host.open();
    ASSERT_TRUE(page->connected());
    const QString login = resultOf(page->call(QStringLiteral("Login"),
                                              QJsonArray{"127.0.0.1", recorder.devicePort(), "viewer",
                                                         passwordText("secret9")},
                                              15000))
                              .toString();
    const int devId = login.mid(9).toInt();
    ASSERT_GT(devId, 0) << qPrintable(login);
    // A second page logs in as well: two sessions on the recorder.
    std::unique_ptr<Page> other = host.open();
    ASSERT_GT(resultOf(other->call(QStringLiteral("Login"),
                                   QJsonArray{"127.0.0.1", recorder.devicePort(), "viewer", passwordText("secret9")},
                                   15000))
                  .toString()
                  .mid(9)
                  .toInt(),
              0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorderStatus(recorder).value(QLatin1String("logins")).toInt() == 2; },
                                10000));

    // A reload: the same session, nobody logged out.
    const QString id = page->resumeId();
    page->close();
    std::unique_ptr<Page> reloaded = host.open(id);
    ASSERT_TRUE(reloaded->resumed());
    EXPECT_EQ(resultOf(reloaded->call(QStringLiteral("GetVolume"), QJsonArray{devId})).toInteger(), 50);
    EXPECT_EQ(recorderStatus(recorder).value(QLatin1String("logoutsTotal")).toInt(), 0);

    // Gone for good: its session ends within the grace time and a little;
    // the other page's stays.
    reloaded->close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QJsonObject status = recorderStatus(recorder);
            return status.value(QLatin1String("logins")).toInt() == 1 &&
                   status.value(QLatin1String("logoutsTotal")).toInt() == 1;
        },
        10000));
    EXPECT_EQ(host.process().terminateAndWait(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return recorderStatus(recorder).value(QLatin1String("logins")).toInt() == 0; },
                                10000));
}

TEST(PageControlsWithRecorder, LiveVideoGoesOutWithoutComparingPixelsAndAStillPictureOnlyOnce)
{
    RecorderProcess recorder;
    ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("secret9")));
    PageHost host({});
    ASSERT_TRUE(host.start());
    std::unique_ptr<Page> page = host.open();
    ASSERT_TRUE(page->connected());
    const QString login = resultOf(page->call(QStringLiteral("Login"),
                                              QJsonArray{"127.0.0.1", recorder.devicePort(), "viewer",
                                                         passwordText("secret9")},
                                              15000))
                              .toString();
    const int devId = login.mid(9).toInt();
    ASSERT_GT(devId, 0) << qPrintable(login);
    const auto stats = [&page] { return resultOf(page->call(QStringLiteral("$viewStats"), QJsonArray{})).toObject(); };
    const auto count = [](const QJsonObject& s, const char* name) { return s.value(QLatin1String(name)).toInteger(); };
    // The page takes every frame as it comes.
    const auto takeFramesUntil = [&page](const std::function<bool()>& done) {
        qsizetype acknowledged = 0;
        return QTest::qWaitFor(
            [&] {
                for (; acknowledged < page->frames().size(); ++acknowledged)
                    page->notify(QStringLiteral("$ack"));
                return done();
            },
            20000);
    };

    EXPECT_EQ(resultOf(page->call(QStringLiteral("StartViewAll"), QJsonArray{devId, 4, 1}, 15000)).toInteger(), 0);
    resultOf(page->call(QStringLiteral("$view"), QJsonObject{{"fps", 25}}));
    // Moving video: frames keep coming, and grabs that followed a new
    // picture in a window are sent without a comparison of their pixels.
    ASSERT_TRUE(takeFramesUntil([&] { return page->frames().size() >= 30; }));
    const QJsonObject live = stats();
    EXPECT_LT(count(live, "fingerprints") * 2, count(live, "grabs")) << qPrintable(QJsonDocument(live).toJson());

    // Closed: the still picture goes out once; grabs after it are compared
    // and find nothing new to send.
    EXPECT_EQ(resultOf(page->call(QStringLiteral("StopPreviewAll"), QJsonArray{devId}, 15000)).toInteger(), 0);
    qint64 sentAtRest = -1;
    ASSERT_TRUE(takeFramesUntil([&] {
        const QJsonObject now = stats();
        if (count(now, "unchanged") < count(live, "unchanged") + 5)
            return false;
        sentAtRest = count(now, "framesSent");
        return true;
    }));
    const QJsonObject before = stats();
    ASSERT_TRUE(takeFramesUntil([&] { return count(stats(), "unchanged") >= count(before, "unchanged") + 5; }));
    EXPECT_EQ(count(stats(), "framesSent"), sentAtRest);
    EXPECT_GE(count(stats(), "fingerprints"), count(before, "fingerprints") + 5);
}

}  // namespace
