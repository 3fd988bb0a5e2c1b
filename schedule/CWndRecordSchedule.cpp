// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/CWndRecordSchedule.h"

#include "platform/Text.h"
#include "schedule/ScheduleColours.h"
#include "schedule/ScheduleText.h"
#include "widgets/LanguageTable.h"

#include <QHideEvent>
#include <QPainter>
#include <QRadioButton>

using namespace schedule;

namespace {

constexpr int kButtonWidth = 130;
constexpr int kButtonHeight = 25;
constexpr int kButtonTop = 15;
constexpr int kButtonLeft = 10;
constexpr int kButtonStep = 140;

}  // namespace

CWndRecordSchedule::CWndRecordSchedule()
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    const int ids[3] = {kNoneButtonId, kNormalButtonId, kAlarmButtonId};
    const char* captions[3] = {"none", "normal", "alarm"};
    for (int type = 0; type < 3; ++type) {
        auto* button = new QRadioButton(QString::fromLatin1(captions[type]), this);
        button->setProperty("controlId", ids[type]);
        // White behind the button and its text.
        QPalette white = button->palette();
        white.setColor(QPalette::Window, Qt::white);
        white.setColor(QPalette::Button, Qt::white);
        button->setPalette(white);
        button->setAutoFillBackground(true);
        connect(button, &QRadioButton::clicked, this, [this, type] { selectBrush(type); });
        m_buttons[static_cast<std::size_t>(type)] = button;
    }
    m_grid.setRowsColumns(kDays, 48);
    m_buttons[0]->setChecked(true);
    layOutButtons();
}

CWndRecordSchedule::~CWndRecordSchedule()
{
    destroyWindow();
}

void CWndRecordSchedule::setLanguageTable(LanguageTable* table)
{
    m_language = table;
    m_grid.setLanguageTable(table);
}

bool CWndRecordSchedule::onCreate()
{
    if (!m_grid.createWindow(this, QRect(kGridLeft, kGridTop, kGridWidth, kGridHeight), CXGrid::kControlId, true))
        return false;
    m_grid.setRowsColumns(kDays, 48);
    m_grid.setMode(m_mode);
    selectBrush(0);
    applyCaptions();
    layOutButtons();
    return true;
}

void CWndRecordSchedule::onDestroy()
{
    m_grid.destroyWindow();
}

int CWndRecordSchedule::setSchedule(int mode, const QString& text)
{
    if (mode != kModeAlarmOnly && mode != kModeTyped)
        return kBadMode;
    setMode(mode);
    // Loading a schedule selects the brush of its recording type.
    selectBrush(mode == kModeAlarmOnly ? kTypeAlarm : kTypeNormal);

    // The text must fit the exchange buffer with its terminating zero.
    const std::string utf8 = platform::toUtf8Fitting(text, kScheduleTextBufferBytes);
    WeekPeriods week;
    if (!parseScheduleText(utf8, mode, week))
        return kBadText;
    for (int day = 0; day < kDays; ++day)
        m_grid.setDayPeriods(day, week[static_cast<std::size_t>(day)]);
    return kLoaded;
}

QString CWndRecordSchedule::schedule() const
{
    return QString::fromStdString(writeScheduleText(m_grid.store(), m_mode));
}

void CWndRecordSchedule::setMode(int mode)
{
    if (mode != kModeAlarmOnly && mode != kModeTyped)
        return;
    m_mode = mode;
    m_grid.setMode(mode);
    layOutButtons();
    update();
}

void CWndRecordSchedule::selectBrush(int type)
{
    m_paintType = (type == kTypeNormal || type == kTypeAlarm) ? type : kTypeNone;
    for (int t = 0; t < 3; ++t) {
        QRadioButton* button = m_buttons[static_cast<std::size_t>(t)];
        // Unchecking an auto-exclusive button is refused; lift that briefly.
        button->setAutoExclusive(false);
        button->setChecked(t == m_paintType);
        button->setAutoExclusive(true);
    }
    m_grid.setPaintType(static_cast<std::uint8_t>(m_paintType));
}

QColor CWndRecordSchedule::brushColour() const
{
    switch (m_paintType) {
    case kTypeNormal:
        return QColor(12, 129, 3);
    case kTypeAlarm:
        return QColor(250, 50, 50);
    default:
        return palette().color(QPalette::Base);  // the desktop's window colour
    }
}

void CWndRecordSchedule::layOutButtons()
{
    const bool typed = m_mode == kModeTyped;
    m_buttons[0]->setGeometry(kButtonLeft, kButtonTop, kButtonWidth, kButtonHeight);
    m_buttons[1]->setGeometry(kButtonLeft + kButtonStep, kButtonTop, kButtonWidth, kButtonHeight);
    m_buttons[1]->setVisible(typed);
    m_buttons[2]->setGeometry(kButtonLeft + kButtonStep * (typed ? 2 : 1), kButtonTop, kButtonWidth, kButtonHeight);
    m_buttons[0]->setVisible(true);
    m_buttons[2]->setVisible(true);
}

void CWndRecordSchedule::applyCaptions()
{
    if (!m_language)
        return;
    m_buttons[0]->setText(m_language->lookup(QStringLiteral("STR_RECORD MANUAL")));
    m_buttons[1]->setText(m_language->lookup(QStringLiteral("STR_NORMAL")));
    m_buttons[2]->setText(m_language->lookup(QStringLiteral("STR_ALARM")));
}

void CWndRecordSchedule::refreshTexts()
{
    applyCaptions();
    update();
    m_grid.update();
}

void CWndRecordSchedule::resizeEvent(QResizeEvent* event)
{
    CWnd::resizeEvent(event);
    applyCaptions();
    layOutButtons();
    m_grid.setGeometry(kGridLeft, kGridTop, kGridWidth, kGridHeight);
}

void CWndRecordSchedule::showEvent(QShowEvent* event)
{
    // Texts the page replaced since the page was last shown.
    applyCaptions();
    CWnd::showEvent(event);
}

void CWndRecordSchedule::hideEvent(QHideEvent* event)
{
    // Another page replaces this one: an open record time dialog goes too.
    if (!event->spontaneous())
        m_grid.closeDayDialog();
    CWnd::hideEvent(event);
}

void CWndRecordSchedule::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // A one-pixel frame just outside the grid.
    painter.setPen(QPen(gridLineColour(), 1));
    painter.drawRect(QRect(kGridLeft - 1, kGridTop - 1, kGridWidth + 1, kGridHeight + 1));
}
