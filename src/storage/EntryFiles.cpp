#include "EntryFiles.h"

#include "storage/AtomicFile.h"
#include "storage/DiaryText.h"
#include "storage/EntryLedger.h"
#include "storage/EntryWriter.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/ReadFile.h"
#include "storage/Settings.h"
#include "storage/StagedFile.h"
#include "storage/StorageMessages.h"
#include "storage/TextPane.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

QString twoDigits(int value)
{
    return (u"00"_qs + QString::number(value)).right(2);
}

void makeYearFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir())
        return;
    if (FileFaults::shouldFail(Step::MakeDir, folder)
        || ::mkdir(QFile::encodeName(folder).constData(), 0700) != 0
        || !AtomicFile::syncFolder(QFileInfo(folder).absolutePath()))
        throw Exception(StorageMessages::cannotCreateDirectory());
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    const AtomicFile::Result result = AtomicFile::replace(path, bytes, 0600);
    if (result != AtomicFile::Result::Done)
        StorageMessages::raise(result, path);
}

// True when the entry file is known to hold these bytes already, so a save has nothing to do.
bool entryHolds(const QString &path, const QByteArray &bytes)
{
    EntryLedger &ledger = EntryLedger::instance();
    const EntryLedger::Look before = ledger.look(path);
    if (!ledger.holds(path, bytes, before))
        return false;
    // Nothing to write; a synchroniser sees no change, and the file counts as seen. What a crash
    // left beside the entry still goes.
    AtomicFile::clearEntryLeftovers(path);
    struct stat st
    {
    };
    if (before.bytes && ::stat(QFile::encodeName(path).constData(), &st) == 0)
        ledger.rememberFile(path, st, bytes);
    return true;
}

// The file's text, line breaks normalised; what was read is what the ledger remembers.
QString readEntryText(const QString &path)
{
    const ReadFile file(path);
    struct stat st
    {
    };
    if (file.fd() < 0 || ::fstat(file.fd(), &st) != 0 || !S_ISREG(st.st_mode))
        throw Exception(StorageMessages::cannotOpen(path));
    if (st.st_size > kPaneCapacityBytes)
        throw Exception(StorageMessages::tooLarge());
    const std::optional<QByteArray> bytes = file.readUpTo(kPaneCapacityBytes);
    if (!bytes)
        throw Exception(StorageMessages::cannotOpen(path));
    // The pane holds the text with CR LF breaks, so that is what must fit.
    if (normalisedByteLength(*bytes) > kPaneCapacityBytes)
        throw Exception(StorageMessages::tooLarge());
    EntryLedger::instance().rememberFile(path, st, *bytes);
    return diaryTextFromBytes(*bytes);
}

std::optional<QString> pendingText(const QString &path)
{
    const EntryWriter *writer = EntryWriter::current();
    if (const std::optional<QByteArray> pending
        = writer ? writer->pendingBytes(path) : std::nullopt)
        return diaryTextFromBytes(*pending);
    return std::nullopt;
}

} // namespace

QString yearFolderPath(int year)
{
    return yearFolderPathIn(DiaryDir, year);
}

QString entryFilePath(int year, int month, int day)
{
    return entryFilePathIn(DiaryDir, year, month, day);
}

QString yearFolderPathIn(const QString &folder, int year)
{
    return folder + u'/' + QString::number(year);
}

QString entryFilePathIn(const QString &folder, int year, int month, int day)
{
    return yearFolderPathIn(folder, year) + u'/' + twoDigits(month) + twoDigits(day) + u".txt"_qs;
}

void loadEntryFile(TextPane &pane, const QString &path)
{
    std::optional<QString> text = pendingText(path);
    if (!text)
        text = readEntryText(path);
    if (pane.text() != *text)
        pane.setText(*text);
}

std::optional<QString> readEntry(const QString &path)
{
    if (std::optional<QString> pending = pendingText(path))
        return pending;
    // No file (or a folder where it would be): the day has no entry, and a save may create one.
    if (!QFileInfo(QFileInfo(path).path()).isDir() || !QFileInfo(path).isFile()) {
        EntryLedger::instance().rememberAbsent(path);
        return std::nullopt;
    }
    return readEntryText(path);
}

void writeTextFile(const QString &path, const QString &text)
{
    // Encoding raises the write error for a character without a form, before the disk is
    // touched, so the text is not scanned a second time first.
    writeBytes(path, diaryTextToBytes(text));
}

bool isSavePending(const QString &path)
{
    const EntryWriter *writer = EntryWriter::current();
    return writer && writer->pendingBytes(path).has_value();
}

bool isReadOnlyFile(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode)
        && (st.st_mode & S_IWUSR) == 0;
}

QString unreachableLinkTarget(const QString &path)
{
    QFileInfo info(path);
    if (!info.isSymLink() || info.exists())
        return QString();
    for (int hop = 0; hop < 40 && info.isSymLink(); ++hop)
        info = QFileInfo(info.symLinkTarget());
    if (!info.isSymLink() && QFileInfo(info.absolutePath()).isDir())
        return QString();
    return info.absoluteFilePath();
}

SavedEntry saveCurrentEntry(const QString &text, int year, int month, int day)
{
    return saveEntryIn(DiaryDir, text, year, month, day);
}

SavedEntry saveEntryIn(const QString &folder, const QString &text, int year, int month, int day)
{
    if (text.isEmpty())
        return {};
    // An empty diary folder would put the year folder at the file system's root.
    if (folder.isEmpty())
        throw Exception(StorageMessages::cannotCreateDirectory());
    makeYearFolder(yearFolderPathIn(folder, year));
    const QString path = entryFilePathIn(folder, year, month, day);
    // A read-only entry is never replaced; the save ends quietly, as for a file that cannot be
    // deleted.
    if (isReadOnlyFile(path))
        return {};
    const QByteArray bytes = diaryTextToBytes(text);
    EntryWriter &writer = EntryWriter::instance();
    const std::optional<QByteArray> pending = writer.pendingBytes(path);
    if (pending ? *pending == bytes : entryHolds(path, bytes))
        return {true};
    // Everything that can fail visibly happens here, on the keystroke; the flush and the rename
    // follow on the writer's thread.
    std::unique_ptr<StagedFile> staged;
    const AtomicFile::Result result = AtomicFile::stage(path, bytes, 0600, staged);
    if (result != AtomicFile::Result::Done)
        StorageMessages::raise(result, path);
    writer.submit(path, text, bytes, std::move(staged));
    return {true};
}
