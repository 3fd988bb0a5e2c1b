// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay window under Qt's offscreen platform with the network
// library's live commands faked and a real decoder of the decode-render
// library: the stream it opens, its statuses, the drawing on pictures and
// the mouse, and editing while pictures are drawn on another thread.
#include "FakeLiveLibrary.h"

#include "overlay/COverlayWnd.h"
#include "overlay/OverlayPainter.h"
#include "widgets/LanguageTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <functional>
#include <thread>

using overlay::Box;

namespace {

constexpr int kWidth = 960;
constexpr int kHeight = 540;

// Processes events until the condition holds (or 5 seconds passed).
bool waitFor(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 5000)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The colour is at (x, y) or a pixel left or right of it.
bool colourNear(const QImage& picture, int x, int y, QRgb colour)
{
    for (int dx = -1; dx <= 1; ++dx)
        if (picture.pixel(x + dx, y) == colour)
            return true;
    return false;
}

class OverlayWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_live::install();
        window.setLanguageTable(&language);
        ASSERT_TRUE(window.createWindow(nullptr, QRect(0, 0, kWidth, kHeight), 205, true));
    }
    void TearDown() override
    {
        window.destroyWindow();
        fake_live::uninstall();
    }

    // Starts editing and delivers the first picture's data.
    void startWithPicture(int mode)
    {
        window.startEditing(1, mode, 3, 0, 704, 576);
        ASSERT_NE(window.playHandle(), 0u);
        ASSERT_TRUE(fake_live::callBack(1));
        ASSERT_TRUE(waitFor([&] { return window.status() == COverlayWnd::kStatusNone; }));
        ASSERT_TRUE(window.isEditable());
    }

    void mouse(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(p), window.mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    }
    void press(QPoint p) { mouse(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton); }
    void drag(QPoint p) { mouse(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton); }
    void hover(QPoint p) { mouse(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    void release(QPoint p) { mouse(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton); }
    void doubleClick(QPoint p) { mouse(QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton); }

    // Draws the overlay on a black picture as the decoder does.
    QImage drawnPicture(int width = 704, int height = 576)
    {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::black);
        QPainter painter(&picture);
        COverlayWnd::OsdCallback(&window, &painter, width, height);
        return picture;
    }

    LanguageTable language;
    COverlayWnd window;
};

TEST_F(OverlayWindow, OpensItsOwnStreamAndEditsOnlyOnceAPictureCame)
{
    window.startEditing(1, COverlayWnd::kMotionCells, 3, 0, 704, 576);
    EXPECT_EQ(fake_live::keys(), (std::vector<std::string>{"REALPLAY", "GETDECODER"}));
    EXPECT_EQ(fake_live::lastWindow(), window.handle());
    EXPECT_EQ(fake_live::lastUserData(), reinterpret_cast<std::uintptr_t>(&window));
    EXPECT_EQ(fake_live::lastChannel(), 3);
    EXPECT_EQ(fake_live::lastStreamType(), 0);
    EXPECT_EQ(window.decoderHandle(), fake_live::lastDecoder());
    EXPECT_EQ(window.status(), COverlayWnd::kStatusOpening);
    EXPECT_EQ(window.statusText(), language.lookup(QStringLiteral("IE_Open")));
    EXPECT_FALSE(window.isEditable());

    press({10, 10});
    release({10, 10});
    EXPECT_FALSE(window.cell(0));

    ASSERT_TRUE(fake_live::callBack(1));  // the first data block
    ASSERT_TRUE(waitFor([&] { return window.status() == COverlayWnd::kStatusNone; }));
    EXPECT_TRUE(window.statusText().isEmpty());
    press({10, 10});
    release({10, 10});
    EXPECT_TRUE(window.cell(0));

    window.endEditing();
    EXPECT_EQ(fake_live::count("REALPLAYSTOP"), 1u);
    EXPECT_FALSE(fake_live::decoderOpen());
    EXPECT_FALSE(window.isEditable());
    EXPECT_FALSE(window.isEditing());
    EXPECT_EQ(window.playHandle(), 0u);
    EXPECT_EQ(window.decoderHandle(), 0u);
    // The overlay stays readable after the editing ended.
    EXPECT_EQ(window.motionText(), QStringLiteral("01") + QString(62, '0'));
}

TEST_F(OverlayWindow, EachFailedOpenShowsItsStatusAndKeepsNoStream)
{
    struct Case {
        fake_live::Answers answers;
        COverlayWnd::Status status;
        const char* key;
    } cases[] = {
        {{1, 0, false}, COverlayWnd::kStatusOpenFailed, "IE_OpenFailed"},
        {{5, 0, false}, COverlayWnd::kStatusNetworkError, "IE_NetworkError"},
        {{6, 0, false}, COverlayWnd::kStatusNetworkError, "IE_NetworkError"},
        {{8, 0, false}, COverlayWnd::kStatusNetworkError, "IE_NetworkError"},
        {{7, 0, false}, COverlayWnd::kStatusUnknownError, "IE_UnkownErr"},
        {{0, 1, false}, COverlayWnd::kStatusOpenFailed, "IE_OpenFailed"},
        {{0, 5, false}, COverlayWnd::kStatusNetworkError, "IE_NetworkError"},
        {{0, 8, false}, COverlayWnd::kStatusNetworkError, "IE_NetworkError"},
        {{0, 7, false}, COverlayWnd::kStatusUnknownError, "IE_UnkownErr"},
        {{0, 0, true}, COverlayWnd::kStatusUnknownError, "IE_UnkownErr"},
    };
    for (const Case& c : cases) {
        fake_live::install(c.answers);
        window.startEditing(1, COverlayWnd::kPrivacyMasks, 0, 1, 704, 576);
        EXPECT_EQ(window.status(), c.status) << c.answers.realPlay << "/" << c.answers.getDecoder;
        EXPECT_EQ(window.statusText(), language.lookup(QString::fromLatin1(c.key)));
        EXPECT_EQ(window.playHandle(), 0u);
        // A stream that was opened is closed again: nothing runs behind the status.
        EXPECT_EQ(fake_live::count("REALPLAYSTOP"), c.answers.realPlay == 0 ? 1u : 0u);
        EXPECT_FALSE(fake_live::callBack(1));
        window.endEditing();
    }
}

TEST_F(OverlayWindow, AnOfflineDeviceShowsItsStatusUntilDataComesAgain)
{
    startWithPicture(COverlayWnd::kMotionCells);
    ASSERT_TRUE(fake_live::callBack(3));
    ASSERT_TRUE(waitFor([&] { return window.status() == COverlayWnd::kStatusDeviceOffline; }));
    EXPECT_EQ(window.statusText(), language.lookup(QStringLiteral("IE_DVRoffline")));
    ASSERT_TRUE(waitFor([&] { return !window.hasPicture(); }));
    // What shows is the background with the text.
    const QImage shown = window.grab().toImage();
    EXPECT_EQ(shown.pixel(5, 5), 0xFF1B1B1Bu);
    bool white = false;
    for (int y = kHeight / 3; y < 2 * kHeight / 3 && !white; ++y)
        for (int x = kWidth / 3; x < 2 * kWidth / 3 && !white; ++x)
            white = qGray(shown.pixel(x, y)) > 200;
    EXPECT_TRUE(white);
    ASSERT_TRUE(fake_live::callBack(1));
    ASSERT_TRUE(waitFor([&] { return window.status() == COverlayWnd::kStatusNone; }));
}

TEST_F(OverlayWindow, AStreamTheRecorderEndsIsClosedAndSaysSo)
{
    startWithPicture(COverlayWnd::kPrivacyMasks);
    ASSERT_TRUE(window.setMask(0, 108, 100, 300, 200, 704, 576));
    ASSERT_TRUE(fake_live::callBack(4, 18));  // no right to the channel any more
    ASSERT_TRUE(waitFor([&] { return window.status() == COverlayWnd::kStatusUnknownError; }));
    EXPECT_EQ(fake_live::count("REALPLAYSTOP"), 1u);
    EXPECT_FALSE(window.isEditable());
    EXPECT_EQ(window.maskText(0), QStringLiteral("108_100_200_100"));
    // The page ends the editing and starts again.
    window.endEditing();
    startWithPicture(COverlayWnd::kPrivacyMasks);
}

TEST_F(OverlayWindow, TheClockItemWithoutATextShowsTheTime)
{
    startWithPicture(COverlayWnd::kTextItems);
    ASSERT_TRUE(window.setTextItem(1, 0, QString(), true, 704, 576, 408, 24));
    ASSERT_TRUE(window.setTextItem(2, 0, QString(), true, 704, 576, 108, 300));
    EXPECT_EQ(window.model().textItems().at(1).text.size(), 19);  // yyyy-MM-dd HH:mm:ss
    EXPECT_TRUE(window.model().textItems().at(2).text.isEmpty());
    drawnPicture();
    ASSERT_TRUE(waitFor([&] { return window.model().textItems().at(1).extentKnown; }));
    EXPECT_GT(window.model().textItems().at(1).window.width(), 0);
    EXPECT_EQ(window.textItemText(1), QStringLiteral("2_400_24"));
}

TEST_F(OverlayWindow, EveryPictureGetsTheOverlayOfItsKind)
{
    startWithPicture(COverlayWnd::kMotionCells);
    ASSERT_TRUE(window.setMotionText(QStringLiteral("01") + QString(62, '0')));
    QImage picture = drawnPicture();
    EXPECT_TRUE(colourNear(picture, 1, 20, qRgb(0, 255, 0)));  // cell 0's frame
    EXPECT_EQ(picture.pixel(20, 20), qRgb(0, 0, 0));           // inside it
    EXPECT_TRUE(colourNear(picture, 48, 20, qRgb(123, 123, 123)));  // cell 1, clear
    EXPECT_FALSE(colourNear(picture, 48, 20, qRgb(0, 255, 0)));

    window.endEditing();
    startWithPicture(COverlayWnd::kPrivacyMasks);
    ASSERT_TRUE(window.setMask(0, 108, 100, 300, 200, 704, 576));
    picture = drawnPicture();
    EXPECT_EQ(picture.pixel(200, 150), qRgb(33, 33, 41));
    EXPECT_TRUE(colourNear(picture, 98, 150, qRgb(255, 64, 64)));

    window.endEditing();
    startWithPicture(COverlayWnd::kTextItems);
    ASSERT_TRUE(window.setTextItem(0, 0, QStringLiteral("CH01"), true, 704, 576, 32, 24));
    ASSERT_TRUE(window.setTextItem(2, 0, QStringLiteral("Gate"), true, 704, 576, 108, 300));
    picture = drawnPicture();
    EXPECT_TRUE(colourNear(picture, 24, 40, qRgb(255, 0, 0)));  // the name's box
    int red = 0;
    for (int y = 300; y < 340; ++y)
        for (int x = 100; x < 200; ++x)
            red += picture.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
    EXPECT_GT(red, 20);  // the title's letters
    // The drawing asked for the items to be measured: they can be dragged then.
    ASSERT_TRUE(waitFor([&] { return window.model().textItems().at(2).extentKnown; }));
    const Box w = window.model().textItems().at(2).window;
    EXPECT_GT(w.width(), 0);
    EXPECT_GT(w.height(), 0);
}

TEST_F(OverlayWindow, MouseGesturesEditThroughTheWindow)
{
    startWithPicture(COverlayWnd::kPrivacyMasks);
    press({100, 100});
    EXPECT_EQ(window.cursor().shape(), Qt::CrossCursor);
    drag({300, 250});
    release({300, 250});
    EXPECT_EQ(window.maskText(0), QStringLiteral("80_104_148_164"));
    const QPoint inside(200, 200);
    press(inside);
    release(inside);
    doubleClick(inside);
    release(inside);
    EXPECT_EQ(window.maskText(0), QStringLiteral("0_0_0_0"));

    window.endEditing();
    startWithPicture(COverlayWnd::kTextItems);
    ASSERT_TRUE(window.setTextItem(1, 0, QStringLiteral("12:00:00"), true, 704, 576, 408, 24));
    drawnPicture();
    ASSERT_TRUE(waitFor([&] { return window.model().textItems().at(1).extentKnown; }));
    const Box w = window.model().textItems().at(1).window;
    hover({w.left + 2, w.top + 2});
    EXPECT_EQ(window.cursor().shape(), Qt::PointingHandCursor);
    press({w.left + 2, w.top + 2});
    drag({w.left + 2 + 37, w.top + 2 + 23});
    release({w.left + 2 + 37, w.top + 2 + 23});
    EXPECT_EQ(window.textItemText(1), QStringLiteral("1_424_48"));
}

TEST_F(OverlayWindow, AResizeToNothingAndBackKeepsTheData)
{
    startWithPicture(COverlayWnd::kPrivacyMasks);
    ASSERT_TRUE(window.setMask(0, 108, 100, 300, 200, 704, 576));
    for (const QSize s : {QSize(1, 1), QSize(0, 0), QSize(0, 300), QSize(333, 277), QSize(kWidth, kHeight)}) {
        window.resize(s);
        QApplication::processEvents();
        press({-5, 10000});
        drag({INT_MAX / 2, -INT_MAX / 2});
        release({3, 3});
        drawnPicture();
        drawnPicture(1, 1);
        EXPECT_EQ(window.maskText(0), QStringLiteral("108_100_200_100"));
    }
}

// Pictures drawn on one thread while the UI thread edits (run under the
// thread sanitizer as well).
TEST_F(OverlayWindow, EditingWhilePicturesAreDrawn)
{
    for (const int mode : {COverlayWnd::kMotionCells, COverlayWnd::kPrivacyMasks, COverlayWnd::kTextItems}) {
        startWithPicture(mode);
        std::atomic<bool> stop{false};
        std::atomic<int> drawn{0};
        std::thread decoder([&] {
            QImage picture(352, 288, QImage::Format_RGB32);
            while (!stop.load()) {
                QPainter painter(&picture);
                COverlayWnd::OsdCallback(&window, &painter, 352, 288);
                drawn.fetch_add(1);
            }
        });
        std::thread library([&] {
            while (!stop.load())
                fake_live::callBack(1);
        });
        for (int round = 0; round < 12; ++round) {
            window.clearOverlay();
            ASSERT_TRUE(window.setMotionText(round % 2 ? QString(64, 'F') : QString(64, '0')));
            ASSERT_TRUE(window.setMask(round % 5, 8 + round, 10, 200, 100 + round, 704, 576));
            ASSERT_TRUE(window.setTextItem(round % 3, 0, QStringLiteral("text %1").arg(round), true, 704, 576, 40,
                                           40 + 60 * (round % 3)));
            press({50 + round, 60});
            drag({300 + round * 3, 200});
            release({300 + round * 3, 200});
            doubleClick({100, 100});
            release({100, 100});
            hover({60, 50});
            window.resize(kWidth - round, kHeight - round);
            QApplication::processEvents();
        }
        ASSERT_TRUE(waitFor([&] { return drawn.load() > 20; }));
        // The library removes the drawing before a stream closes; here the
        // threads stop first.
        stop.store(true);
        decoder.join();
        library.join();
        EXPECT_TRUE(window.isEditable());
        window.endEditing();
        window.resize(kWidth, kHeight);
    }
}

}  // namespace
