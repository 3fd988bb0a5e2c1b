// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay editor end to end: the automation host with the real
// libraries shows a recorder's live channel on the overlay page, the user
// edits with the mouse ($input) as the page's user would, the page's
// methods read the result, and $grab shows the drawing on the pictures.
// The window's status changes and first picture are read from the debug
// output ("overlay status ...", "overlay first picture ...").
#include "HostProcess.h"
#include "RecorderProcess.h"

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kControlWidth = 960;
constexpr int kControlHeight = 540;
// Motion cells on the 960 × 540 window are 64 × 45 pixels.
constexpr int kCellWidth = 64;
constexpr int kCellHeight = 45;

QPoint cellCentre(int row, int column)
{
    return {column * kCellWidth + kCellWidth / 2, row * kCellHeight + kCellHeight / 2};
}

bool near(QRgb pixel, QRgb colour, int tolerance = 40)
{
    return std::abs(qRed(pixel) - qRed(colour)) <= tolerance && std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance &&
           std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
}

int countNear(const QImage& picture, const QRect& area, QRgb colour, int tolerance = 40)
{
    int n = 0;
    const QRect r = area.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += near(picture.pixel(x, y), colour, tolerance) ? 1 : 0;
    return n;
}

class OverlayThroughHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(recorder.start(QStringLiteral("viewer"), QStringLiteral("tape5")));
        // A lost recorder is reported offline soon.
        host.setEnvironment(QStringLiteral("TOVR_STREAM_OFFLINE_MS"), QStringLiteral("1500"));
        ASSERT_TRUE(host.start());
        const QString login =
            call("Login", {"127.0.0.1", recorder.devicePort(), "viewer", passwordText("tape5")}).toString();
        ASSERT_TRUE(login.startsWith(QLatin1String("00000000_"))) << login.toStdString();
        id = login.mid(9).toLongLong();
        ASSERT_EQ(call("SwitchPage", {1}).toInteger(), 0);
    }

    QJsonValue call(const char* method, const QJsonArray& params)
    {
        return resultOf(host.call(QString::fromLatin1(method), params));
    }
    void input(const char* type, QPoint p)
    {
        EXPECT_TRUE(call("$input", {QJsonObject{{"type", type}, {"x", p.x()}, {"y", p.y()}}}).isNull());
    }
    void dragWithTheMouse(QPoint from, QPoint to)
    {
        input("move", from);
        input("press", from);
        const QPoint middle = (from + to) / 2;
        input("move", middle);
        input("move", to);
        input("release", to);
    }
    QStringList& lines()
    {
        for (const QJsonValue& line : call("$debug", {}).toArray())
            m_lines << line.toString().trimmed();
        return m_lines;
    }
    int mark() { return lines().size(); }
    // The control's picture once it passes a check (the host is slow under
    // the thread sanitizer: its whole timeout).
    QImage grabWhen(const std::function<bool(const QImage&)>& ready) { return host.grabWhen(ready, kHostTimeoutMs); }
    int waitForLine(const QString& start, int from = 0, int timeoutMs = 20000)
    {
        QElapsedTimer timer;
        timer.start();
        do {
            const QStringList& all = lines();
            for (int i = from; i < all.size(); ++i)
                if (all[i].startsWith(start))
                    return i;
            QThread::msleep(50);
        } while (timer.elapsed() < timeoutMs);
        return -1;
    }
    // Starts editing as the page does, and waits for the first picture.
    void startEditing(int kind, int channel = 0)
    {
        const int from = mark();
        ASSERT_EQ(call("UninitOverlay", {}).toInteger(), 0);
        ASSERT_EQ(call("InitOverlay", {id, channel, kind, 0, 704, 576}).toInteger(), 0);
        call("SetOSD_AlignPixels", {8});
        ASSERT_GE(waitForLine(QStringLiteral("overlay first picture of channel %1").arg(channel), from), 0)
            << lines().join('\n').toStdString();
    }
    QJsonObject simStatus()
    {
        const HttpAnswer answer = recorder.http("GET", "/sim/status");
        return answer.status == 200 ? QJsonDocument::fromJson(answer.body).object() : QJsonObject();
    }
    int streamsOpen() { return simStatus().value("streamsOpen").toInt(-1); }
    bool waitForStreams(int count)
    {
        QElapsedTimer timer;
        timer.start();
        while (streamsOpen() != count) {
            if (timer.elapsed() > 10000)
                return false;
            QThread::msleep(50);
        }
        return true;
    }
    QString text(const char* method, const QJsonArray& params) { return call(method, params).toString(); }
    // The status text shows: the grey background with white letters in the middle.
    void expectStatusShown()
    {
        const QImage shown = grabWhen([](const QImage& p) {
            return p.pixel(5, 5) == 0xFF1B1B1Bu &&
                   countNear(p, QRect(kControlWidth / 3, kControlHeight / 3, kControlWidth / 3, kControlHeight / 3),
                             qRgb(255, 255, 255), 60) > 20;
        });
        EXPECT_EQ(shown.pixel(5, 5), 0xFF1B1B1Bu);
        EXPECT_GT(countNear(shown, QRect(kControlWidth / 3, kControlHeight / 3, kControlWidth / 3, kControlHeight / 3),
                            qRgb(255, 255, 255), 60),
                  20);
    }

    RecorderProcess recorder;
    HostProcess host{{QStringLiteral("--stdio"), QStringLiteral("--size"),
                      QStringLiteral("%1x%2").arg(kControlWidth).arg(kControlHeight)}};
    qint64 id = 0;
    QStringList m_lines;
};

}  // namespace

TEST_F(OverlayThroughHost, CellsShowOnTheLivePictureAndADragPaintsThem)
{
    startEditing(0);
    ASSERT_EQ(streamsOpen(), 1);
    // The grey frames of clear cells on the picture, no green ones.
    const QRect paintedArea(kCellWidth, kCellHeight, 3 * kCellWidth, 2 * kCellHeight);
    const QImage before = grabWhen([&](const QImage& p) {
        return countNear(p, QRect(0, 0, kControlWidth, kControlHeight), qRgb(123, 123, 123), 20) > 2000;
    });
    EXPECT_GT(countNear(before, QRect(0, 0, kControlWidth, kControlHeight), qRgb(123, 123, 123), 20), 2000);
    const int greenBefore = countNear(before, paintedArea, qRgb(0, 255, 0));

    dragWithTheMouse(cellCentre(1, 1), cellCentre(2, 3));
    EXPECT_EQ(text("GetOverlayMDData", {id}), QStringLiteral("00000780") + QStringLiteral("03") + QString(54, '0'));
    // The cells' green frames on the next pictures.
    const QImage after = grabWhen([&](const QImage& p) {
        return countNear(p, paintedArea, qRgb(0, 255, 0)) > greenBefore + 400;
    });
    EXPECT_GT(countNear(after, paintedArea, qRgb(0, 255, 0)), greenBefore + 400);

    // A click on a set cell clears it; the page's clear clears all.
    input("click", cellCentre(2, 3));
    EXPECT_EQ(text("GetOverlayMDData", {id}), QStringLiteral("00000780") + QStringLiteral("01") + QString(54, '0'));
    EXPECT_EQ(call("ClearOverlayScreen", {}).toInteger(), 0);
    EXPECT_EQ(text("GetOverlayMDData", {id}), QString(64, '0'));

    // The page's own text loads, and bad texts change nothing.
    const QString loaded = QStringLiteral("01") + QString(42, '0') + QStringLiteral("08") + QString(18, '0');
    EXPECT_EQ(text("SetOverlayMDInitData", {id, loaded, 0}), QString());
    EXPECT_EQ(text("SetOverlayMDInitData", {id, QString(63, '0'), 0}), QStringLiteral("2"));
    EXPECT_EQ(text("SetOverlayMDInitData", {id, QString(65, '0'), 0}), QStringLiteral("2"));
    EXPECT_EQ(text("SetOverlayMDInitData", {id, QString(63, '0') + 'x', 0}), QStringLiteral("3"));
    EXPECT_EQ(text("GetOverlayMDData", {id}), loaded);
}

TEST_F(OverlayThroughHost, AMaskIsDrawnShownAndDeletedWithTheMouse)
{
    startEditing(1);
    dragWithTheMouse({100, 100}, {300, 250});
    EXPECT_EQ(text("GetShelterData", {id, 0}), QStringLiteral("80_104_148_164"));
    // The mask's dark fill over the live picture.
    const QRect middle(180, 150, 40, 40);
    const QImage shown = grabWhen([&](const QImage& p) { return countNear(p, middle, qRgb(33, 33, 41), 12) > 1500; });
    EXPECT_GT(countNear(shown, middle, qRgb(33, 33, 41), 12), 1500);

    // A second one, then the first goes with a double click.
    dragWithTheMouse({500, 300}, {700, 450});
    const QString second = text("GetShelterData", {id, 1});
    EXPECT_NE(second, QStringLiteral("0_0_0_0"));
    input("dblclick", {200, 175});
    EXPECT_EQ(text("GetShelterData", {id, 0}), second);
    EXPECT_EQ(text("GetShelterData", {id, 1}), QStringLiteral("0_0_0_0"));
    grabWhen([&](const QImage& p) { return countNear(p, middle, qRgb(33, 33, 41), 12) < 200; });

    // Four drawn with the mouse at most; the page may set a fifth.
    dragWithTheMouse({20, 20}, {90, 80});
    dragWithTheMouse({20, 400}, {90, 480});
    dragWithTheMouse({800, 20}, {900, 80});
    dragWithTheMouse({800, 400}, {900, 480});
    EXPECT_NE(text("GetShelterData", {id, 3}), QStringLiteral("0_0_0_0"));
    EXPECT_EQ(text("GetShelterData", {id, 4}), QStringLiteral("0_0_0_0"));
    EXPECT_EQ(text("SetOverlayShelterInitData", {id, 4, 408, 300, 500, 340, 704, 576}), QString());
    EXPECT_EQ(text("GetShelterData", {id, 4}), QStringLiteral("408_300_100_40"));
    EXPECT_EQ(text("GetShelterData", {id, 5}), QStringLiteral("0_0_0_0"));
}

TEST_F(OverlayThroughHost, AnOsdItemIsDraggedAndSnapped)
{
    startEditing(2);
    const int from = mark();
    EXPECT_EQ(text("SetOverlayOsdInitData", {id, 0, 0, "CH01", 1, 704, 576, 24 + 8, 24}), QString());
    EXPECT_EQ(text("SetOverlayOsdInitData", {id, 1, 0, "12:00:00", 1, 704, 576, 400 + 8, 24}), QString());
    EXPECT_EQ(text("SetOverlayOsdInitData", {id, 2, 0, "", 0, 704, 576, 24 + 8, 520}), QString());
    // Items 0 and 1 are shown (2 is hidden) and can be taken hold of once measured.
    ASSERT_GE(waitForLine(QStringLiteral("overlay items measured: 0 1"), from), 0) << lines().join('\n').toStdString();
    // Item 1 shows at window (545, 22); dragged by (37, 23) it stands at
    // (582, 45), which is 426.8, 48 on the picture: 424, 48 on the 4-pixel grid.
    dragWithTheMouse({550, 30}, {587, 53});
    EXPECT_EQ(text("GetOsdOverlayData", {id, 1}), QStringLiteral("3_424_48"));
    EXPECT_EQ(text("GetOsdOverlayData", {id, 0}), QStringLiteral("3_24_24"));
    EXPECT_EQ(text("GetOsdOverlayData", {id, 2}), QStringLiteral("3_24_520"));
    EXPECT_EQ(text("GetOsdOverlayData", {id, 3}), QStringLiteral("faile 2"));
    // Its red letters at the new place, and the name's red box.
    const QRect moved(582, 45, 100, 30);
    const QImage shown = grabWhen([&](const QImage& p) { return countNear(p, moved, qRgb(255, 0, 0), 90) > 30; });
    EXPECT_GT(countNear(shown, moved, qRgb(255, 0, 0), 90), 30);
    EXPECT_GT(countNear(shown, QRect(30, 20, 4, 30), qRgb(255, 0, 0), 90), 10);
    // Onto the name's box: refused, it stays.
    dragWithTheMouse({590, 50}, {300, 40});
    EXPECT_EQ(text("GetOsdOverlayData", {id, 1}), QStringLiteral("3_424_48"));
}

TEST_F(OverlayThroughHost, ThePagesValuesRoundTripExactly)
{
    struct Mask {
        int x, y, width, height;
    };
    const Mask masks[] = {{0, 0, 4, 4}, {16, 32, 120, 80}, {700, 572, 4, 4}, {0, 0, 704, 576}, {3, 9, 1, 1}};
    startEditing(1);
    for (int i = 0; i < 5; ++i) {
        const Mask& m = masks[i];
        EXPECT_EQ(text("SetOverlayShelterInitData", {id, i, m.x + 8, m.y, m.x + m.width, m.y + m.height, 704, 576}),
                  QString());
    }
    for (int i = 0;; ++i) {
        const QString got = text("GetShelterData", {id, i});
        if (got == QStringLiteral("0_0_0_0")) {
            EXPECT_EQ(i, 5);
            break;
        }
        ASSERT_LT(i, 5);
        const QStringList parts = got.split('_');
        ASSERT_EQ(parts.size(), 4);
        EXPECT_EQ(parts[0].toInt() - 8, masks[i].x) << got.toStdString();
        EXPECT_EQ(parts[1].toInt(), masks[i].y);
        EXPECT_EQ(parts[2].toInt(), masks[i].width);
        EXPECT_EQ(parts[3].toInt(), masks[i].height);
    }

    startEditing(2);
    const int items[][2] = {{24, 24}, {0, 0}, {696, 568}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(text("SetOverlayOsdInitData", {id, i, 0, "t", i == 1 ? 0 : 1, 704, 576, items[i][0] + 8, items[i][1]}),
                  QString());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(text("GetOsdOverlayData", {id, i}), QStringLiteral("3_%1_%2").arg(items[i][0]).arg(items[i][1]));

    startEditing(0);
    const QString motion =
        QStringLiteral("0123456789ABCDEFFEDCBA98765432100123456789AB") + QStringLiteral("0F") + QString(18, '0');
    EXPECT_EQ(text("SetOverlayMDInitData", {id, motion, 0}), QString());
    EXPECT_EQ(text("GetOverlayMDData", {id}), motion);
}

// As the page saves: what the mouse drew goes to the recorder, and the
// channel is edited again (another kind) while the recorder makes its
// pictures again.
TEST_F(OverlayThroughHost, AMaskSavedToTheRecorderIsEditedAgain)
{
    startEditing(1, 2);
    dragWithTheMouse({100, 100}, {300, 250});
    const QStringList parts = text("GetShelterData", {id, 0}).split('_');
    ASSERT_EQ(parts.size(), 4);
    const QByteArray body = QJsonDocument(QJsonObject{{"masks", QJsonArray{QJsonObject{
                                                                   {"x", parts[0].toInt() - 8},
                                                                   {"y", parts[1].toInt()},
                                                                   {"width", parts[2].toInt()},
                                                                   {"height", parts[3].toInt()}}}}})
                                .toJson(QJsonDocument::Compact);
    const QByteArray origin = "http://127.0.0.1:" + QByteArray::number(recorder.httpPort());
    const HttpAnswer saved = recorder.http("PUT", "/api/overlay?channel=2", body, {{"Origin", origin}});
    ASSERT_EQ(saved.status, 200) << saved.body.toStdString();
    const QJsonObject stored = QJsonDocument::fromJson(saved.body).object().value("masks").toArray().at(0).toObject();
    EXPECT_EQ(stored.value("x").toInt(), 72);
    EXPECT_EQ(stored.value("width").toInt(), 148);

    startEditing(0, 2);
    EXPECT_EQ(text("GetOverlayMDData", {id}), QString(64, '0'));
    startEditing(1, 2);
    EXPECT_EQ(text("SetOverlayShelterInitData", {id, 0, 72 + 8, 104, 72 + 148, 104 + 164, 704, 576}), QString());
    EXPECT_EQ(text("GetShelterData", {id, 0}), QStringLiteral("80_104_148_164"));
}

TEST_F(OverlayThroughHost, OtherPagesAndLogoutEndTheEditing)
{
    startEditing(0);
    ASSERT_TRUE(waitForStreams(1));
    ASSERT_EQ(call("SwitchPage", {2}).toInteger(), 0);
    EXPECT_TRUE(waitForStreams(0));
    // A second InitOverlay while editing runs is left alone.
    ASSERT_EQ(call("SwitchPage", {1}).toInteger(), 0);
    startEditing(0);
    EXPECT_EQ(call("InitOverlay", {id, 2, 1, 0, 704, 576}).toInteger(), 0);
    EXPECT_TRUE(waitForStreams(1));
    EXPECT_EQ(simStatus().value("streams").toArray().at(0).toObject().value("channel").toInt(),
              0);
    ASSERT_EQ(call("SwitchPage", {0}).toInteger(), 0);
    EXPECT_TRUE(waitForStreams(0));
    ASSERT_EQ(call("SwitchPage", {1}).toInteger(), 0);
    startEditing(0);
    ASSERT_EQ(call("Logout", {id}).toInteger(), 0);
    EXPECT_TRUE(waitForStreams(0));
    EXPECT_EQ(text("GetOverlayMDData", {id}), QStringLiteral("faile 1"));
}

TEST_F(OverlayThroughHost, AChannelTheUserMayNotSeeShowsItsStatus)
{
    ASSERT_FALSE(recorder.sim(QStringLiteral("deny"), QStringLiteral("user=viewer&channel=2")).isEmpty());
    const int from = mark();
    ASSERT_EQ(call("InitOverlay", {id, 2, 0, 0, 704, 576}).toInteger(), 0);
    ASSERT_GE(waitForLine(QStringLiteral("overlay status IE_UnkownErr"), from), 0) << lines().join('\n').toStdString();
    expectStatusShown();
    EXPECT_EQ(streamsOpen(), 0);
}

TEST_F(OverlayThroughHost, AChannelDeniedWhileEditingEndsItsStream)
{
    startEditing(1);
    dragWithTheMouse({100, 100}, {300, 250});
    ASSERT_TRUE(waitForStreams(1));
    const int from = mark();
    ASSERT_FALSE(recorder.sim(QStringLiteral("deny"), QStringLiteral("user=viewer&channel=0")).isEmpty());
    ASSERT_GE(waitForLine(QStringLiteral("overlay status IE_UnkownErr"), from), 0) << lines().join('\n').toStdString();
    expectStatusShown();
    EXPECT_TRUE(waitForStreams(0));
    // What was edited can still be read and saved.
    EXPECT_EQ(text("GetShelterData", {id, 0}), QStringLiteral("80_104_148_164"));
}

TEST_F(OverlayThroughHost, AnUnreachableRecorderShowsItsStatus)
{
    recorder.killHard();
    const int from = mark();
    ASSERT_EQ(call("InitOverlay", {id, 0, 0, 0, 704, 576}).toInteger(), 0);
    ASSERT_GE(waitForLine(QStringLiteral("overlay status IE_NetworkError"), from), 0) << lines().join('\n').toStdString();
    expectStatusShown();
}

TEST_F(OverlayThroughHost, ARecorderThatStaysAwayShowsOffline)
{
    startEditing(0);
    const int from = mark();
    ASSERT_FALSE(recorder.sim(QStringLiteral("freeze")).isEmpty());
    ASSERT_GE(waitForLine(QStringLiteral("overlay status IE_DVRoffline"), from, 30000), 0)
        << lines().join('\n').toStdString();
    expectStatusShown();
}
