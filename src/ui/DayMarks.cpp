#include "DayMarks.h"

#include "storage/EntryListing.h"

MonthMarks DayMarks::find(const QString &diaryFolder, int year, int month,
    const QList<DiaryPage::TextNotOnDisk> &notOnDisk)
{
    MonthMarks marks {};
    marks.fill(DayMark::None);
    if (diaryFolder.isEmpty())
        return marks;
    const auto mark = [&](int entryYear, int day) {
        if (day < 1 || day > 31)
            return;
        if (entryYear == year)
            marks[day] = DayMark::Entry;
        else if (marks[day] == DayMark::None)
            marks[day] = DayMark::EarlierEntry;
    };
    for (int back = 0; back < DiaryPage::kPaneCount; ++back) {
        for (const EntryListing::Entry &entry :
            EntryListing::inMonth(diaryFolder, year - back, month))
            mark(entry.year, entry.day);
    }
    for (const DiaryPage::TextNotOnDisk &text : notOnDisk) {
        // Typing becomes a save when the person leaves the pane; until then the day is as it was.
        if (text.kind == DiaryPage::TextNotOnDisk::Kind::Typing || text.folder != diaryFolder
            || text.date.month() != month || text.date.year() > year
            || text.date.year() <= year - DiaryPage::kPaneCount)
            continue;
        mark(text.date.year(), text.date.day());
    }
    return marks;
}
