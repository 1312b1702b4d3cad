#pragma once

#include "ui/DayMarks.h"

#include <QAccessibleWidget>

class QDate;
class TCalendar;

// What a screen reader hears of the month calendar: its name, a hint on its keys, and the
// selected date as the value.
class CalendarAccessible : public QAccessibleWidget
{
public:
    explicit CalendarAccessible(TCalendar *calendar);

    QString text(QAccessible::Text t) const override;

    // Makes queryAccessibleInterface answer with this class for every calendar; safe to repeat.
    static void install();
};

// The date as a screen reader reads it: "2026年12月8日".
QString spokenDate(const QDate &date);
// A day's mark as a screen reader reads it: "日記あり", "過去の日記あり", or nothing.
QString markName(DayMark mark);
