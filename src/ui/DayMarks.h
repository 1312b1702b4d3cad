#pragma once

#include "storage/DiaryPage.h"

#include <QList>
#include <QString>

#include <array>

// What the calendar marks under a day of the shown month.
enum class DayMark {
    None,
    Entry, // the calendar's year has an entry for the day
    EarlierEntry, // no entry that year, but one in the four years before (the other panes)
};

// The marks of one month, index 1 to 31 by day (0 unused).
using MonthMarks = std::array<DayMark, 32>;

// Finds a month's marks: the month's names in the calendar's year folder and the four before it,
// listed once each, never a look at each day; a text not yet on disk of those days (a save that
// failed or is on its way) counts as an entry.
namespace DayMarks {

MonthMarks find(const QString &diaryFolder, int year, int month,
    const QList<DiaryPage::TextNotOnDisk> &notOnDisk);

} // namespace DayMarks
