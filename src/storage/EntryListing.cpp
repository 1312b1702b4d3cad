#include "EntryListing.h"

#include <QDate>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// The calendar's years, and the four before the first of them that the page shows.
constexpr int kFirstYear = 1 - 4;
constexpr int kLastYear = 9999;

bool isLeapYear(int year)
{
    // Year 0 and the years below it follow the same rule: the page counts back plainly.
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    return QDate(isLeapYear(year) ? 2000 : 2001, month, 1).daysInMonth();
}

// Orlune's own kept copies and a synchroniser's conflict copies, by the names they are given.
const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d\\d)(\\d\\d)(?:(\\.conflict-\\d{8}-\\d{6}(?:-\\d+)?)"
                       "|(\\.sync-conflict-\\d{8}-\\d{6}-[0-9A-Z]+))?\\.txt$"));
    return pattern;
}

// A plain entry's name, four ASCII digits and ".txt", read without the pattern: it is nearly
// every name of a diary, and the listing for the calendar's marks comes before the first paint.
// Any other name is left to the pattern, which gives the same answer for these.
bool readPlainName(const QString &name, int &month, int &day)
{
    if (name.size() != 8 || !name.endsWith(QLatin1String(".txt")))
        return false;
    int digits[4];
    for (int i = 0; i < 4; ++i) {
        const char16_t c = name.at(i).unicode();
        if (c < u'0' || c > u'9')
            return false;
        digits[i] = c - u'0';
    }
    month = digits[0] * 10 + digits[1];
    day = digits[2] * 10 + digits[3];
    return true;
}

// A listed name stands for a file: a folder or a link that leads nowhere is no entry.
bool isFileEntry(const QByteArray &folder, const dirent &item)
{
    if (item.d_type == DT_REG)
        return true;
    if (item.d_type != DT_LNK && item.d_type != DT_UNKNOWN)
        return false;
    struct stat st
    {
    };
    return ::stat((folder + '/' + item.d_name).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

template<typename Visit> void listFolder(const QString &folder, Visit visit)
{
    const QByteArray encoded = QFile::encodeName(folder);
    DIR *dir = ::opendir(encoded.constData());
    if (!dir)
        return;
    while (const dirent *item = ::readdir(dir)) {
        if (item->d_name[0] == '.')
            continue;
        visit(encoded, *item);
    }
    ::closedir(dir);
}

bool newerFirst(const EntryListing::Entry &a, const EntryListing::Entry &b)
{
    if (a.year != b.year)
        return a.year > b.year;
    if (a.month != b.month)
        return a.month > b.month;
    if (a.day != b.day)
        return a.day > b.day;
    if (a.kept != b.kept)
        return !a.kept;
    return a.path < b.path;
}

} // namespace

bool EntryListing::parseYear(const QString &name, int &year)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:0|-?[1-9]\\d{0,3})$"));
    if (!pattern.match(name).hasMatch())
        return false;
    year = name.toInt();
    return year >= kFirstYear && year <= kLastYear;
}

bool EntryListing::parseEntryName(const QString &name, int year, Entry &entry)
{
    int month = 0;
    int day = 0;
    bool kept = false;
    if (!readPlainName(name, month, day)) {
        const QRegularExpressionMatch match = namePattern().match(name);
        if (!match.hasMatch())
            return false;
        month = match.capturedView(1).toInt();
        day = match.capturedView(2).toInt();
        kept = match.hasCaptured(3) || match.hasCaptured(4);
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    entry.year = year;
    entry.month = month;
    entry.day = day;
    entry.kept = kept;
    return true;
}

QList<int> EntryListing::years(const QString &diaryFolder)
{
    QList<int> found;
    if (diaryFolder.isEmpty())
        return found;
    listFolder(diaryFolder, [&](const QByteArray &folder, const dirent &item) {
        int year = 0;
        if (item.d_type != DT_DIR && item.d_type != DT_LNK && item.d_type != DT_UNKNOWN)
            return;
        if (!parseYear(QFile::decodeName(item.d_name), year))
            return;
        struct stat st
        {
        };
        if (item.d_type != DT_DIR
            && (::stat((folder + '/' + item.d_name).constData(), &st) != 0 || !S_ISDIR(st.st_mode)))
            return;
        found << year;
    });
    std::sort(found.begin(), found.end(), std::greater<int>());
    return found;
}

QList<EntryListing::Entry> EntryListing::inYear(const QString &diaryFolder, int year)
{
    QList<Entry> entries;
    if (diaryFolder.isEmpty())
        return entries;
    const QString folder = diaryFolder + u'/' + QString::number(year);
    listFolder(folder, [&](const QByteArray &encoded, const dirent &item) {
        const QString name = QFile::decodeName(item.d_name);
        Entry entry;
        if (!parseEntryName(name, year, entry) || !isFileEntry(encoded, item))
            return;
        entry.path = folder + u'/' + name;
        entries << entry;
    });
    std::sort(entries.begin(), entries.end(), newerFirst);
    return entries;
}

QList<EntryListing::Entry> EntryListing::inMonth(const QString &diaryFolder, int year, int month)
{
    QList<Entry> entries;
    if (diaryFolder.isEmpty())
        return entries;
    const QString folder = diaryFolder + u'/' + QString::number(year);
    const QByteArray prefix = QByteArray::number(100 + month).right(2);
    listFolder(folder, [&](const QByteArray &encoded, const dirent &item) {
        // A plain entry's name is eight bytes; the month's own start with its two digits.
        if (std::strlen(item.d_name) != 8 || std::strncmp(item.d_name, prefix.constData(), 2) != 0)
            return;
        const QString name = QFile::decodeName(item.d_name);
        Entry entry;
        if (!parseEntryName(name, year, entry) || entry.kept || !isFileEntry(encoded, item))
            return;
        entry.path = folder + u'/' + name;
        entries << entry;
    });
    std::sort(entries.begin(), entries.end(), newerFirst);
    return entries;
}

QList<EntryListing::Entry> EntryListing::inDiary(const QString &diaryFolder)
{
    QList<Entry> entries;
    for (const int year : years(diaryFolder))
        entries << inYear(diaryFolder, year);
    return entries;
}
