#pragma once

#include "ui/CustomGrid.h"
#include "ui/DayMarks.h"

#include <QDate>
#include <QString>

#include <functional>

// The month calendar: the window's one holder of the current date, shown as a week-row grid
// under a row of weekday names. Every change of the date is reported through OnChange.
class TCalendar : public TCustomGrid
{
    Q_OBJECT

public:
    explicit TCalendar(QWidget *parent);

    int Year() const { return m_date.year(); }
    int Month() const { return m_date.month(); }
    int Day() const { return m_date.day(); }
    void setYear(int value);
    void setMonth(int value);
    void setDay(int value);
    void MonthBack();
    void MonthForward();
    // Moves to another date in one change, as picking its day does.
    void setDate(const QDate &date);

    QDate SelectedDate() const { return m_date; }
    int StartOfWeek() const { return m_startOfWeek; }
    void setStartOfWeek(int value);
    bool UseCurrentDate() const { return m_useCurrentDate; }
    void setUseCurrentDate(bool value);
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool value) { m_readOnly = value; }
    int FirstCellOffset() const { return m_firstCellOffset; }

    QString CellLabel(int col, int row) const;

    // The marks of a month under its day numbers; shown while that month is.
    void setDayMarks(int year, int month, const MonthMarks &marks);
    // The mark of a day of the shown month (none while its month's marks are not known).
    DayMark dayMark(int day) const;
    bool hasMarksOf(int year, int month) const
    {
        return year == m_marksYear && month == m_marksMonth;
    }
    // What a screen reader reads as the calendar's value: the date, and its day's mark.
    QString spokenValue() const;

    virtual int MonthLength(int year, int month) const;
    int ShownMonthLength() const { return MonthLength(Year(), Month()); }
    virtual bool IsLeapYear(int year) const;

    // Called with the calendar after each change of the date, inside the call that made it.
    std::function<void(TCalendar &)> OnChange;

    // Pins "today" for the calendars created after it; an invalid date restores the clock.
    static void setTodayForTesting(QDate today);
    static QDate today();

signals:
    // Raised with every change of the date, before OnChange.
    void dateChanged(QDate date);

protected:
    virtual void Relayout();
    virtual void Change();
    bool SelectCell(int col, int row) override;
    void paintCell(QPainter &painter, int col, int row, const QRect &rect) override;
    void Click() override;

private:
    enum class Part { Year, Month, Day };
    void writeDatePart(Part part, int value);
    void stepMonth(int step);
    void announceDate();
    void paintMark(
        QPainter &painter, DayMark mark, const QRect &rect, int baseline, const QColor &ink) const;

    QDate m_date;
    int m_startOfWeek = 0;
    bool m_useCurrentDate = true;
    bool m_readOnly = false;
    bool m_updating = false;
    QDate m_announcedDate;
    int m_firstCellOffset = 1;
    int m_marksYear = 0;
    int m_marksMonth = 0;
    MonthMarks m_marks {};
};
