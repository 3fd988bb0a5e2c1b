// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/CDlgRecTimeSetting.h"

#include "platform/Messages.h"
#include "widgets/LanguageTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTime>
#include <QTimeEdit>

#include <algorithm>

using namespace schedule;

namespace {

// The template is 436 x 220 dialog units in Arial 8 points: 6 x 13 pixels
// per four horizontal and eight vertical units at 96 dots per inch.
constexpr int kWidthPx = 436 * 6 / 4;
constexpr int kHeightPx = (220 * 13 + 4) / 8;

constexpr int kRowTop = 80;
constexpr int kRowStep = 30;
constexpr int kRowHeight = 23;
constexpr int kHeadingTop = 55;
constexpr int kHeadingLeft = 175;

const char* const kDayKeys[kDays] = {"STR_SUN.", "STR_MON.", "STR_TUE.", "STR_WED.",
                                     "STR_THU.", "STR_FRI.", "STR_SAT."};

int secondsOf(const QTime& time)
{
    return time.hour() * 3600 + time.minute() * 60 + time.second();
}

QTime timeOf(int second)
{
    return QTime(second / 3600 % 24, second / 60 % 60, second % 60);
}

}  // namespace

CDlgRecTimeSetting::CDlgRecTimeSetting(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Schedule"));
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    setFixedSize(kWidthPx, kHeightPx);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    for (int i = 0; i < kRows; ++i) {
        const auto row = static_cast<std::size_t>(i);
        m_checkBoxes[row] = new QCheckBox(this);
        m_checkBoxes[row]->setProperty("controlId", kFirstCheckBoxId + i);
        for (auto* pickers : {&m_startPickers, &m_endPickers}) {
            auto* picker = new QTimeEdit(this);
            picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
            picker->setProperty("controlId", (pickers == &m_startPickers ? kFirstStartPickerId : kFirstEndPickerId) + i);
            // Every change of a time is taken in at once, without checking.
            connect(picker, &QTimeEdit::timeChanged, this, [this] {
                if (!m_filling)
                    collect(false);
            });
            (*pickers)[row] = picker;
        }
        m_typeLists[row] = new QComboBox(this);
        m_typeLists[row]->setProperty("controlId", kFirstTypeListId + i);
        m_typeLists[row]->addItems({QStringLiteral("normal"), QStringLiteral("alarm")});
        // A changed type is taken in too, or deleting another row would
        // fill it back from the stored type.
        connect(m_typeLists[row], &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling)
                collect(false);
        });
    }
    m_dayText = new QLabel(QStringLiteral("Sunday"), this);
    m_dayText->setProperty("controlId", kDayTextId);
    m_dayText->setGeometry(35, 20, 120, 20);

    m_add = new QPushButton(QStringLiteral("ADD"), this);
    m_add->setProperty("controlId", kAddButtonId);
    m_add->setGeometry(kWidthPx - 195, 15, 75, 25);
    m_add->setAutoDefault(false);
    m_delete = new QPushButton(QStringLiteral("Delelte"), this);
    m_delete->setProperty("controlId", kDeleteButtonId);
    m_delete->setGeometry(kWidthPx - 110, 15, 75, 25);
    m_delete->setAutoDefault(false);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setProperty("controlId", kOkButtonId);
    m_ok->setGeometry(kWidthPx - 110, kHeightPx - 36, 75, 25);
    m_ok->setDefault(true);

    connect(m_add, &QPushButton::clicked, this, [this] { addRow(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deleteCheckedRows(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { confirm(); });
    layOut();
}

CDlgRecTimeSetting::~CDlgRecTimeSetting() = default;

void CDlgRecTimeSetting::openModal()
{
    applyTexts();
    fillRows();
    updateButtons();
    placeOverOwner();
    setWindowModality(Qt::ApplicationModal);
    show();
    activateWindow();
}

void CDlgRecTimeSetting::placeOverOwner()
{
    // Centred over the window that holds the grid, so that it is where the
    // user looks whatever frames the window system adds.
    QWidget* owner = parentWidget();
    if (!owner)
        return;
    QRect placed(QPoint(0, 0), size());
    placed.moveCenter(owner->window()->geometry().center());
    if (const QScreen* screen = owner->screen()) {
        const QRect available = screen->availableGeometry();
        placed.moveLeft(std::max(available.left(), std::min(placed.left(), available.right() - placed.width() + 1)));
        placed.moveTop(std::max(available.top(), std::min(placed.top(), available.bottom() - placed.height() + 1)));
    }
    setGeometry(placed);
}

void CDlgRecTimeSetting::applyTexts()
{
    if (!m_language)
        return;  // the template's texts stay
    setWindowTitle(m_language->lookup(QStringLiteral("STR_TIMER RECORD")));
    m_add->setText(m_language->lookup(QStringLiteral("STR_ADD PLAN")));
    m_delete->setText(m_language->lookup(QStringLiteral("STR_DELETE PLAN")));
    m_ok->setText(m_language->lookup(QStringLiteral("STR_OK")));
    if (m_day >= 0 && m_day < kDays)
        m_dayText->setText(m_language->lookup(QString::fromLatin1(kDayKeys[m_day])));
    const QString normal = m_language->lookup(QStringLiteral("STR_NORMAL"));
    const QString alarm = m_language->lookup(QStringLiteral("STR_ALARM"));
    m_filling = true;
    for (QComboBox* list : m_typeLists) {
        list->clear();
        list->addItems({normal, alarm});  // index 0 type 1, index 1 type 2
    }
    m_filling = false;
}

void CDlgRecTimeSetting::fillRow(int row, const SchedulePeriod& period)
{
    const auto r = static_cast<std::size_t>(row);
    m_checkBoxes[r]->setChecked(false);
    m_startPickers[r]->setTime(timeOf(period.startSecond));
    m_endPickers[r]->setTime(timeOf(period.endSecond));
    if (m_mode == kModeTyped)
        m_typeLists[r]->setCurrentIndex(period.type == kTypeAlarm ? 1 : 0);
}

void CDlgRecTimeSetting::fillRows()
{
    m_filling = true;
    const DayPeriods& stored = m_periods.periods();
    for (int i = 0; i < kRows; ++i) {
        if (i < static_cast<int>(stored.size()))
            fillRow(i, stored[static_cast<std::size_t>(i)]);
        else
            m_checkBoxes[static_cast<std::size_t>(i)]->setChecked(false);
    }
    m_filling = false;
    layOut();
}

void CDlgRecTimeSetting::updateButtons()
{
    m_add->setEnabled(m_periods.canAdd());
    m_delete->setEnabled(m_periods.canDelete());
}

void CDlgRecTimeSetting::addRow()
{
    if (!m_periods.add(m_mode))
        return;
    const int row = m_periods.count() - 1;
    m_filling = true;
    fillRow(row, m_periods.periods().back());
    if (m_mode == kModeTyped)
        m_typeLists[static_cast<std::size_t>(row)]->setCurrentIndex(0);
    m_filling = false;
    updateButtons();
    layOut();
}

void CDlgRecTimeSetting::deleteCheckedRows()
{
    collect(false);
    std::vector<bool> checked(kRows, false);
    for (int i = 0; i < kRows; ++i)
        checked[static_cast<std::size_t>(i)] = m_checkBoxes[static_cast<std::size_t>(i)]->isChecked();
    m_periods.removeRows(checked);
    fillRows();
    updateButtons();
}

bool CDlgRecTimeSetting::collect(bool check)
{
    std::vector<RecTimePeriods::RowInput> rows;
    for (int i = 0; i < m_periods.count(); ++i) {
        const auto r = static_cast<std::size_t>(i);
        rows.push_back({secondsOf(m_startPickers[r]->time()), secondsOf(m_endPickers[r]->time()),
                        m_typeLists[r]->currentIndex()});
    }
    return m_periods.collect(rows, m_mode, check);
}

void CDlgRecTimeSetting::confirm()
{
    if (!collect(true)) {
        showTimeInputWarning();
        return;
    }
    if (m_receiver != 0)
        platform::sendMessage(m_receiver, platform::WM_GRID_DAY_EDITED, static_cast<platform::WPARAM>(m_day), 0);
    accept();
}

void CDlgRecTimeSetting::showTimeInputWarning()
{
    // Only with a language table: the message has no text of its own.
    if (!m_language)
        return;
    if (!m_warning) {
        m_warning = new QMessageBox(this);
        m_warning->setIcon(QMessageBox::Warning);
        m_warning->setStandardButtons(QMessageBox::Ok);
        m_warning->setWindowModality(Qt::ApplicationModal);
    }
    m_warning->setWindowTitle(m_language->lookup(QStringLiteral("DIALOG_Warning")));
    m_warning->setText(m_language->lookup(QStringLiteral("DIALOG_TimeInputError")));
    m_warning->show();
    m_warning->activateWindow();
}

void CDlgRecTimeSetting::layOut()
{
    const bool typed = m_mode == kModeTyped;
    for (int i = 0; i < kRows; ++i) {
        const auto r = static_cast<std::size_t>(i);
        const int y = kRowTop + kRowStep * i;
        const bool shown = i < m_periods.count();
        m_checkBoxes[r]->setGeometry(35, y, 100, 20);
        m_startPickers[r]->setGeometry(180, y, typed ? 80 : 100, kRowHeight);
        m_endPickers[r]->setGeometry(typed ? 315 : 400, y, typed ? 80 : 100, kRowHeight);
        m_typeLists[r]->setGeometry(450, y, 110, kRowHeight);
        m_checkBoxes[r]->setVisible(shown);
        m_startPickers[r]->setVisible(shown);
        m_endPickers[r]->setVisible(shown);
        m_typeLists[r]->setVisible(shown && typed);
    }
    update();
}

void CDlgRecTimeSetting::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (m_laidOut)
        layOut();
    m_laidOut = true;
}

void CDlgRecTimeSetting::done(int result)
{
    m_laidOut = false;
    if (m_warning)
        m_warning->hide();
    QDialog::done(result);
}

void CDlgRecTimeSetting::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // An edge of its own: inside the page there is no window frame.
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_language)
        return;
    painter.setPen(Qt::black);
    painter.drawLine(25, 52, width() - 35, 52);
    const bool typed = m_mode == kModeTyped;
    const auto heading = [&](int x, const char* key) {
        painter.drawText(QRect(x, kHeadingTop, 100, 20), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_language->lookup(QString::fromLatin1(key)));
    };
    heading(kHeadingLeft, "STR_START TIME");
    heading(kHeadingLeft + (typed ? 140 : 220), "STR_END TIME");
    if (typed)
        heading(kHeadingLeft + 280, "STR_RECORD TYPE");
}
