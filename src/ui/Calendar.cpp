#include "Calendar.h"

#include "ui/CalendarAccessible.h"
#include "ui/EConvertError.h"

#include <QAccessible>
#include <QLocale>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>

namespace {

constexpr int lastYear = 9999;

QDate s_todayForTesting;

// Read once, the first time a calendar is made, as the names were when the program started.
const QStringList &shortDayNames()
{
    static const QStringList names = [] {
        const QStringList defaults {QStringLiteral("Sun"), QStringLiteral("Mon"),
            QStringLiteral("Tue"), QStringLiteral("Wed"), QStringLiteral("Thu"),
            QStringLiteral("Fri"), QStringLiteral("Sat")};
        const QLocale locale = QLocale::system();
        QStringList read;
        for (int day = 0; day < 7; ++day) {
            const QString name = locale.dayName(day == 0 ? 7 : day, QLocale::ShortFormat);
            read.append(name.isEmpty() ? defaults[day] : name);
        }
        return read;
    }();
    return names;
}

} // namespace

TCalendar::TCalendar(QWidget *parent)
    : TCustomGrid(parent), m_date(today()), m_announcedDate(m_date)
{
    CalendarAccessible::install();
    shortDayNames();
    setColCount(7);
    setRowCount(7);
    setFixedRows(1);
    setGridLineWidth(1);
    setAccessibleName(QStringLiteral("カレンダー"));
    setAccessibleDescription(QStringLiteral("矢印キーで日を選びます"));
    Relayout();
}

void TCalendar::setTodayForTesting(QDate today)
{
    s_todayForTesting = today;
}

QDate TCalendar::today()
{
    return s_todayForTesting.isValid() ? s_todayForTesting : QDate::currentDate();
}

void TCalendar::setYear(int value)
{
    writeDatePart(Part::Year, value);
}

void TCalendar::setMonth(int value)
{
    writeDatePart(Part::Month, value);
}

void TCalendar::setDay(int value)
{
    writeDatePart(Part::Day, value);
}

void TCalendar::writeDatePart(Part part, int value)
{
    if (value < 1)
        return;
    int year = Year();
    int month = Month();
    int day = Day();
    switch (part) {
    case Part::Year:
        if (value == year)
            return;
        year = value;
        break;
    case Part::Month:
        if (value > 12 || value == month)
            return;
        month = value;
        break;
    case Part::Day:
        if (value > ShownMonthLength() || value == day)
            return;
        day = value;
        break;
    }
    if (year > lastYear || day > MonthLength(year, month))
        throw EConvertError();
    m_date = QDate(year, month, day);
    m_useCurrentDate = false;
    Relayout();
    Change();
}

void TCalendar::setDate(const QDate &date)
{
    if (!date.isValid() || date == m_date)
        return;
    if (date.year() < 1 || date.year() > lastYear)
        throw EConvertError();
    m_date = date;
    m_useCurrentDate = false;
    Relayout();
    Change();
}

void TCalendar::MonthBack()
{
    stepMonth(-1);
}

void TCalendar::MonthForward()
{
    stepMonth(1);
}

void TCalendar::stepMonth(int step)
{
    int year = Year();
    int month = Month() + step;
    if (month < 1) {
        month = 12;
        --year;
    } else if (month > 12) {
        month = 1;
        ++year;
    }
    if (year < 1 || year > lastYear)
        throw EConvertError();
    m_date = QDate(year, month, std::min(Day(), MonthLength(year, month)));
    Relayout();
    Change();
}

void TCalendar::setStartOfWeek(int value)
{
    if (value < 0 || value > 6 || value == m_startOfWeek)
        return;
    m_startOfWeek = value;
    Relayout();
}

void TCalendar::setUseCurrentDate(bool value)
{
    if (value == m_useCurrentDate)
        return;
    m_useCurrentDate = value;
    if (value) {
        m_date = today();
        Relayout();
    }
}

int TCalendar::MonthLength(int year, int month) const
{
    static constexpr int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return lengths[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

bool TCalendar::IsLeapYear(int year) const
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

QString TCalendar::CellLabel(int col, int row) const
{
    if (row == 0)
        return shortDayNames()[(col + m_startOfWeek) % 7];
    const int day = m_firstCellOffset + col + 7 * (row - 1);
    if (day < 1 || day > ShownMonthLength())
        return QString();
    return QString::number(day);
}

void TCalendar::Relayout()
{
    m_updating = true;
    const auto done = qScopeGuard([this] { m_updating = false; });
    // QDate counts Monday as 1 and Sunday as 7; here Sunday is 0.
    const int weekdayOfFirst = QDate(Year(), Month(), 1).dayOfWeek() % 7;
    const int shift = (weekdayOfFirst + 1 - m_startOfWeek + 7) % 7;
    m_firstCellOffset = shift == 0 ? -5 : 2 - shift;
    const int cell = Day() - m_firstCellOffset;
    MoveCurrent(cell % 7, cell / 7 + 1);
    announceDate();
    update();
}

// A screen reader reads the date as the calendar's value and hears when it changes.
void TCalendar::announceDate()
{
    if (m_date == m_announcedDate)
        return;
    m_announcedDate = m_date;
    QAccessibleValueChangeEvent event(this, spokenValue());
    QAccessible::updateAccessibility(&event);
}

void TCalendar::Change()
{
    emit dateChanged(m_date);
    if (OnChange)
        OnChange(*this);
}

bool TCalendar::SelectCell(int col, int row)
{
    if (m_readOnly && !m_updating)
        return false;
    return row >= FixedRows() && !CellLabel(col, row).isEmpty();
}

void TCalendar::Click()
{
    const QString label = CellLabel(Col(), Row());
    if (!label.isEmpty())
        setDay(label.toInt());
}

void TCalendar::paintCell(QPainter &painter, int col, int row, const QRect &rect)
{
    const bool header = row < FixedRows();
    const bool selected = !header && col == Col() && row == Row();
    const QPalette::ColorRole fill
        = selected ? QPalette::Highlight : (header ? QPalette::Button : QPalette::Base);
    const QPalette::ColorRole ink
        = selected ? QPalette::HighlightedText : (header ? QPalette::ButtonText : QPalette::Text);
    painter.fillRect(rect, palette().color(fill));

    const QString label = CellLabel(col, row);
    const QFontMetrics metrics = fontMetrics();
    const int left = rect.left() + (rect.width() - metrics.horizontalAdvance(label)) / 2;
    const int top = rect.top() + (rect.height() - metrics.height()) / 2;
    painter.setPen(palette().color(ink));
    painter.drawText(left, top + metrics.ascent(), label);
    if (!header && !label.isEmpty())
        paintMark(
            painter, dayMark(label.toInt()), rect, top + metrics.ascent(), palette().color(ink));
}

// Under the day number: a filled dot for the year's own entry, a ring for one of the years
// before, in the cell's ink so a dark theme or the selected cell shows it as its text.
void TCalendar::paintMark(
    QPainter &painter, DayMark mark, const QRect &rect, int baseline, const QColor &ink) const
{
    if (mark == DayMark::None)
        return;
    // Digits stop at the baseline: the mark sits in the space the font keeps below it.
    const int size = std::max(5, fontMetrics().height() / 3);
    const int top = std::min(baseline + std::max(2, size / 2), rect.bottom() - size - 1);
    const QRectF dot(rect.left() + (rect.width() - size) / 2.0, top, size, size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (mark == DayMark::Entry) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(dot);
    } else {
        painter.setPen(QPen(ink, 1.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(dot.adjusted(0.5, 0.5, -0.5, -0.5));
    }
    painter.restore();
}

void TCalendar::setDayMarks(int year, int month, const MonthMarks &marks)
{
    if (year == m_marksYear && month == m_marksMonth && marks == m_marks)
        return;
    const DayMark before = dayMark(Day());
    m_marksYear = year;
    m_marksMonth = month;
    m_marks = marks;
    update();
    // The selected day's mark is part of what a screen reader hears of the calendar.
    if (dayMark(Day()) != before) {
        QAccessibleValueChangeEvent event(this, spokenValue());
        QAccessible::updateAccessibility(&event);
    }
}

DayMark TCalendar::dayMark(int day) const
{
    if (Year() != m_marksYear || Month() != m_marksMonth || day < 1 || day > 31)
        return DayMark::None;
    return m_marks[day];
}

QString TCalendar::spokenValue() const
{
    const QString mark = markName(dayMark(Day()));
    return mark.isEmpty() ? spokenDate(m_date) : spokenDate(m_date) + u' ' + mark;
}
