#pragma once

#include "storage/DiaryPage.h"
#include "ui/DayMark.h"

#include <QList>
#include <QString>

// Finds a month's marks: the month's names in the calendar's year folder and the four before it,
// listed once each, never a look at each day; a text not yet on disk of those days (a save that
// failed or is on its way) counts as an entry.
namespace DayMarks {

MonthMarks find(const QString &diaryFolder, int year, int month,
    const QList<DiaryPage::TextNotOnDisk> &notOnDisk);

} // namespace DayMarks
