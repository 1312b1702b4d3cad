#pragma once

#include <QList>
#include <QString>

// The entries a diary folder holds, found by listing its folders, never by a look at each day:
// a year folder named as an entry's year is named (plain decimal, 0 and below for the years
// before year 1), and in it the files named MMDD.txt for a day that year has, with the copies
// kept beside a day by their names ("MMDD.conflict-….txt", a synchroniser's
// "MMDD.sync-conflict-….txt"). Hidden and temporary files, folders, dangling links and every
// other name are left out. Search and the calendar's marks both list through here.
// Reads the file system only; safe on any thread.
namespace EntryListing {

struct Entry
{
    int year = 0;
    int month = 0;
    int day = 0;
    QString path;
    // A copy kept beside the day's entry, not the entry itself.
    bool kept = false;
};

// The years that have a year folder, newest first.
QList<int> years(const QString &diaryFolder);
// One year folder's entries, newest day first, each day's entry before its kept copies (those
// by name). Empty when the folder is missing or unreadable.
QList<Entry> inYear(const QString &diaryFolder, int year);
// The entries of one month of a year (kept copies left out), newest day first: one listing of
// the year folder, and only the month's names parsed.
QList<Entry> inMonth(const QString &diaryFolder, int year, int month);
// Every year's entries, in the same order.
QList<Entry> inDiary(const QString &diaryFolder);

// The year a year folder's name stands for, if it is one.
bool parseYear(const QString &name, int &year);
// Whether the name is a day's entry (MMDD.txt) or a copy kept beside it, valid in that year.
bool parseEntryName(const QString &name, int year, Entry &entry);

} // namespace EntryListing
