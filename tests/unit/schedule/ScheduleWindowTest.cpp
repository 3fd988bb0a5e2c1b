// SPDX-License-Identifier: GPL-3.0-or-later
// The schedule page as widgets: loading codes, modes and captions, painting
// by mouse, colours, and the record time dialog opened by a double-click.
#include "schedule/CDlgRecTimeSetting.h"
#include "schedule/CWndRecordSchedule.h"
#include "widgets/LanguageTable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>

#include <gtest/gtest.h>

using namespace schedule;

namespace {

constexpr const char* kMondayMorning = "[null,[{\"E\":43199,\"S\":28800,\"T\":0}],null,null,null,null,null]";

class SchedulePage : public ::testing::Test {
protected:
    void SetUp() override
    {
        page.setLanguageTable(&language);
        ASSERT_TRUE(page.createWindow(nullptr, QRect(0, 0, 700, 400), 206, true));
        page.show();
        QApplication::processEvents();
    }

    CXGrid& grid() { return page.grid(); }

    // The centre of the grid cell of a day and a half-hour column.
    static QPoint cell(int day, int column) { return {100 + column * 10 + 5, 25 + day * 30 + 15}; }

    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent event(type, QPointF(at), QPointF(grid().mapToGlobal(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : button, buttons, Qt::NoModifier);
        QApplication::sendEvent(&grid(), &event);
    }
    void drag(QPoint from, QPoint to)
    {
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    void doubleClick(QPoint at)
    {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
        mouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, at, Qt::NoButton);
    }

    LanguageTable language;
    CWndRecordSchedule page;
};

}  // namespace

TEST_F(SchedulePage, LoadingCodesLeaveTheGridUnchangedOnFailure)
{
    ASSERT_EQ(page.setSchedule(1, QString::fromLatin1(kMondayMorning)), CWndRecordSchedule::kLoaded);
    EXPECT_EQ(page.schedule(), QString::fromLatin1(kMondayMorning));
    EXPECT_EQ(page.paintType(), kTypeNormal);

    // A bad mode changes nothing at all.
    EXPECT_EQ(page.setSchedule(2, QStringLiteral("[[],[],[],[],[],[],[]]")), CWndRecordSchedule::kBadMode);
    EXPECT_EQ(page.mode(), 1);
    EXPECT_EQ(page.schedule(), QString::fromLatin1(kMondayMorning));

    // A bad text keeps the grid; the mode and the brush have changed.
    EXPECT_EQ(page.setSchedule(0, QStringLiteral("[null,null,null,null,null,null]")), CWndRecordSchedule::kBadText);
    EXPECT_EQ(page.mode(), 0);
    EXPECT_EQ(page.paintType(), kTypeAlarm);
    EXPECT_TRUE(page.brushButton(2)->isChecked());
    EXPECT_EQ(page.schedule(), QStringLiteral("[null,[{\"E\":43199,\"S\":28800}],null,null,null,null,null]"));
}

TEST_F(SchedulePage, TextsMustFitTheExchangeBuffer)
{
    // 4095 bytes and the terminating zero fit; one byte more does not.
    QString text = QStringLiteral("[[],[],[],[],[],[],[]]");
    text += QString(4095 - text.size(), QLatin1Char(' '));
    page.setSchedule(1, QString::fromLatin1(kMondayMorning));
    EXPECT_EQ(page.setSchedule(1, text), CWndRecordSchedule::kLoaded);
    EXPECT_EQ(page.schedule(), QStringLiteral("[null,null,null,null,null,null,null]"));

    page.setSchedule(1, QString::fromLatin1(kMondayMorning));
    EXPECT_EQ(page.setSchedule(1, text + QLatin1Char(' ')), CWndRecordSchedule::kBadText);
    EXPECT_EQ(page.schedule(), QString::fromLatin1(kMondayMorning));
}

TEST_F(SchedulePage, ModesLayTheBrushButtonsOutWithTheirCaptions)
{
    page.setMode(0);
    EXPECT_FALSE(page.brushButton(1)->isVisible());
    EXPECT_EQ(page.brushButton(0)->geometry(), QRect(10, 15, 130, 25));
    EXPECT_EQ(page.brushButton(2)->geometry(), QRect(150, 15, 130, 25));
    page.setMode(1);
    EXPECT_TRUE(page.brushButton(1)->isVisible());
    EXPECT_EQ(page.brushButton(1)->geometry(), QRect(150, 15, 130, 25));
    EXPECT_EQ(page.brushButton(2)->geometry(), QRect(290, 15, 130, 25));
    EXPECT_EQ(page.brushButton(1)->property("controlId").toInt(), 312);

    EXPECT_EQ(page.brushButton(0)->text(), QStringLiteral("Manual"));
    EXPECT_EQ(page.brushButton(1)->text(), QStringLiteral("Normal"));
    EXPECT_EQ(page.brushButton(2)->text(), QStringLiteral("Alarm"));
    // A replaced text shows after the next resize.
    language.replace(QStringLiteral("STR_ALARM"), QStringLiteral("Alarme"));
    page.resize(710, 400);
    QApplication::processEvents();
    EXPECT_EQ(page.brushButton(2)->text(), QStringLiteral("Alarme"));
    EXPECT_EQ(grid().geometry(), QRect(10, 50, 580, 235));
    // Or at once when the texts are refreshed, as a language switch does.
    language.replace(QStringLiteral("STR_NORMAL"), QStringLiteral("Normale"));
    page.refreshTexts();
    EXPECT_EQ(page.brushButton(1)->text(), QStringLiteral("Normale"));
}

TEST_F(SchedulePage, SelectingABrushChecksOneButton)
{
    page.selectBrush(1);
    EXPECT_TRUE(page.brushButton(1)->isChecked());
    EXPECT_FALSE(page.brushButton(0)->isChecked());
    EXPECT_EQ(grid().paintType(), kTypeNormal);
    EXPECT_EQ(page.brushColour(), QColor(12, 129, 3));
    page.selectBrush(7);
    EXPECT_TRUE(page.brushButton(0)->isChecked());
    EXPECT_FALSE(page.brushButton(1)->isChecked());
    EXPECT_EQ(grid().paintType(), kTypeNone);
    // Clicking a button selects its brush.
    page.brushButton(2)->click();
    EXPECT_EQ(page.paintType(), kTypeAlarm);
}

TEST_F(SchedulePage, DraggingPaintsWithTheBrush)
{
    page.setMode(1);
    page.selectBrush(1);
    // Tuesday 10:00 to Monday 08:00: 08:00-10:30 on both days.
    drag(cell(2, 20), cell(1, 16));
    EXPECT_EQ(page.schedule(), QStringLiteral("[null,[{\"E\":37799,\"S\":28800,\"T\":0}],"
                                              "[{\"E\":37799,\"S\":28800,\"T\":0}],null,null,null,null]"));
    // A press and release without a move paints nothing.
    page.selectBrush(2);
    mouse(QEvent::MouseButtonPress, cell(5, 3), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, cell(5, 3), Qt::NoButton);
    EXPECT_EQ(grid().store().recordingPeriodCount(5), 0);
}

TEST_F(SchedulePage, TheGridPaintsTypesInTheirColours)
{
    ASSERT_EQ(page.setSchedule(1, QStringLiteral("[null,[{\"S\":28800,\"E\":43199,\"T\":0},{\"S\":36000,\"E\":39599,\"T\":1}],"
                                                 "null,null,null,null,null]")),
              0);
    const QImage picture = grid().grab().toImage();
    EXPECT_EQ(picture.pixelColor(cell(1, 17)), QColor(0, 200, 20));   // 08:30 normal
    EXPECT_EQ(picture.pixelColor(cell(1, 21)), QColor(250, 50, 50));  // 10:30 both: red
    EXPECT_EQ(picture.pixelColor(cell(1, 30)), QColor(Qt::white));
    EXPECT_EQ(picture.pixelColor(cell(2, 17)), QColor(Qt::white));
    // Hour lines every fourth column, in the grid colour.
    EXPECT_EQ(picture.pixelColor(QPoint(140, 200)), QColor(200, 200, 200));
}

TEST_F(SchedulePage, AOneSecondPeriodIsDrawnAndEditedWithoutBeingLostOrWidened)
{
    // 10:00:00-10:00:01 normal on Monday, 09:00:00 alone as alarm on
    // Tuesday: both fall on a labelled hour line, one pixel wide here (ten
    // pixels a half hour).
    const QString text = QStringLiteral("[null,[{\"E\":36001,\"S\":36000,\"T\":0}],[{\"E\":32400,\"S\":32400,\"T\":1}],"
                                        "null,null,null,null]");
    ASSERT_EQ(page.setSchedule(1, text), CWndRecordSchedule::kLoaded);
    const QImage picture = grid().grab().toImage();
    const int monday = cell(1, 0).y();
    const int tuesday = cell(2, 0).y();
    EXPECT_EQ(picture.pixelColor(300, monday), QColor(0, 200, 20)) << "drawn, not hidden by the hour line";
    EXPECT_EQ(picture.pixelColor(280, tuesday), QColor(250, 50, 50));
    for (const int x : {298, 299, 301, 302}) {
        EXPECT_NE(picture.pixelColor(x, monday), QColor(0, 200, 20)) << x << ": not widened";
        EXPECT_NE(picture.pixelColor(x, tuesday), QColor(250, 50, 50)) << x - 20 << ": not widened";
    }
    // The hour line still shows where no period is.
    EXPECT_EQ(picture.pixelColor(300, cell(3, 0).y()), QColor(200, 200, 200));
    EXPECT_EQ(page.schedule(), text);

    // Edited in the dialog and taken back unchanged.
    doubleClick(cell(1, 20));
    CDlgRecTimeSetting* dialog = grid().dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->count(), 1);
    EXPECT_EQ(dialog->startPicker(0)->time(), QTime(10, 0, 0));
    EXPECT_EQ(dialog->endPicker(0)->time(), QTime(10, 0, 1));
    dialog->okButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(page.schedule(), text);
}

TEST_F(SchedulePage, DoubleClickOpensTheDialogWithTheDaysPeriods)
{
    page.setSchedule(1, QString::fromLatin1(kMondayMorning));
    doubleClick(cell(1, 40));
    CDlgRecTimeSetting* dialog = grid().dialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    EXPECT_EQ(dialog->day(), 1);
    EXPECT_EQ(dialog->count(), 1);
    EXPECT_EQ(dialog->dayText()->text(), QStringLiteral("Mon."));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Schedule"));
    EXPECT_EQ(dialog->startPicker(0)->time(), QTime(8, 0, 0));
    EXPECT_EQ(dialog->endPicker(0)->time(), QTime(11, 59, 59));
    EXPECT_TRUE(dialog->typeList(0)->isVisible());
    EXPECT_EQ(dialog->typeList(0)->itemText(1), QStringLiteral("Alarm"));
    EXPECT_FALSE(dialog->checkBox(1)->isVisible());
    // Mode 1 layout.
    EXPECT_EQ(dialog->startPicker(0)->geometry(), QRect(180, 80, 80, 23));
    EXPECT_EQ(dialog->endPicker(0)->geometry(), QRect(315, 80, 80, 23));

    // A second period, alarm, 13:00-14:00; OK replaces Monday with both.
    dialog->addButton()->click();
    ASSERT_EQ(dialog->count(), 2);
    EXPECT_EQ(dialog->endPicker(1)->time(), QTime(23, 59, 59));
    dialog->startPicker(1)->setTime(QTime(13, 0, 0));
    dialog->endPicker(1)->setTime(QTime(14, 0, 0));
    dialog->typeList(1)->setCurrentIndex(1);
    dialog->okButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(page.schedule(), QStringLiteral("[null,[{\"E\":43199,\"S\":28800,\"T\":0},{\"E\":50400,\"S\":46800,\"T\":1}],"
                                              "null,null,null,null,null]"));

    // Labels and the header do nothing.
    doubleClick(QPoint(50, 100));
    doubleClick(QPoint(300, 10));
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(SchedulePage, TheDialogRefusesAStartNotBeforeItsEnd)
{
    page.setMode(0);
    doubleClick(cell(4, 2));
    CDlgRecTimeSetting* dialog = grid().dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->count(), 0);  // an empty day opens with no rows
    EXPECT_FALSE(dialog->deleteButton()->isEnabled());
    dialog->addButton()->click();
    EXPECT_FALSE(dialog->typeList(0)->isVisible());  // mode 0: no type column
    EXPECT_EQ(dialog->endPicker(0)->geometry(), QRect(400, 80, 100, 23));
    dialog->startPicker(0)->setTime(QTime(8, 0, 0));
    dialog->endPicker(0)->setTime(QTime(8, 0, 0));
    dialog->okButton()->click();

    EXPECT_TRUE(dialog->isVisible());
    ASSERT_NE(dialog->warning(), nullptr);
    EXPECT_TRUE(dialog->warning()->isVisible());
    EXPECT_EQ(dialog->warning()->text(), QStringLiteral("Time input error!"));
    EXPECT_EQ(dialog->warning()->windowTitle(), QStringLiteral("Warning"));
    EXPECT_EQ(grid().store().recordingPeriodCount(4), 0);

    dialog->warning()->accept();
    dialog->endPicker(0)->setTime(QTime(9, 0, 0));
    dialog->okButton()->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(page.schedule(), QStringLiteral("[null,null,null,null,[{\"E\":32400,\"S\":28800}],null,null]"));
    EXPECT_EQ(grid().store().at(4, 28800), kTypeAlarm);  // mode 0: every period is an alarm
}

TEST_F(SchedulePage, TheDialogAddsUpToEightAndDeletesCheckedRows)
{
    page.setMode(1);
    doubleClick(cell(6, 0));
    CDlgRecTimeSetting* dialog = grid().dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    for (int i = 0; i < 5; ++i) {
        dialog->addButton()->click();
        dialog->startPicker(i)->setTime(QTime(i * 2, 0, 0));
        dialog->endPicker(i)->setTime(QTime(i * 2, 30, 0));
    }
    // A type changed before a delete survives it.
    dialog->typeList(4)->setCurrentIndex(1);
    dialog->checkBox(1)->setChecked(true);
    dialog->checkBox(3)->setChecked(true);
    dialog->deleteButton()->click();
    ASSERT_EQ(dialog->count(), 3);
    EXPECT_EQ(dialog->startPicker(1)->time(), QTime(4, 0, 0));
    EXPECT_EQ(dialog->startPicker(2)->time(), QTime(8, 0, 0));
    EXPECT_EQ(dialog->typeList(2)->currentIndex(), 1);
    EXPECT_FALSE(dialog->checkBox(1)->isChecked());
    EXPECT_FALSE(dialog->checkBox(3)->isVisible());

    for (int i = 3; i < 8; ++i)
        dialog->addButton()->click();
    EXPECT_EQ(dialog->count(), 8);
    EXPECT_FALSE(dialog->addButton()->isEnabled());
    dialog->addButton()->click();
    EXPECT_EQ(dialog->count(), 8);

    // Closing without OK leaves the grid as it was.
    dialog->reject();
    EXPECT_EQ(grid().store().recordingPeriodCount(6), 0);
}

TEST_F(SchedulePage, HidingThePageClosesTheDialog)
{
    doubleClick(cell(0, 0));
    ASSERT_TRUE(grid().dialog() && grid().dialog()->isVisible());
    page.hide();
    EXPECT_FALSE(grid().dialog()->isVisible());
}
