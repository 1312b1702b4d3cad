#include "KeptVersion.h"

#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/FilePrimitives.h"
#include "storage/NewFile.h"
#include "storage/ReadFile.h"
#include "storage/StorageMessages.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

constexpr int kMaxAttempts = 1000;

enum class Made { Done, Taken, NoLinks, Gone, Failed };

using FilePrimitives::native;

Made made(int result)
{
    if (result == 0)
        return Made::Done;
    if (errno == EEXIST)
        return Made::Taken;
    if (errno == ENOENT)
        return Made::Gone;
    return FilePrimitives::refusesLinks(errno) ? Made::NoLinks : Made::Failed;
}

Made link(const QString &from, const QString &to)
{
    return made(::linkat(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), 0));
}

Made copyBytes(const std::optional<QByteArray> &bytes, const QString &to)
{
    if (!bytes)
        return Made::Failed;
    switch (NewFile::write(to, *bytes, 0600)) {
    case NewFile::Result::Done:
        return Made::Done;
    case NewFile::Result::Taken:
        return Made::Taken;
    case NewFile::Result::CreateFailed:
    case NewFile::Result::WriteFailed:
        break;
    }
    return Made::Failed;
}

std::optional<QByteArray> bytesOf(int fd)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return std::nullopt;
    // The whole version, however large.
    return ReadFile::readUpTo(fd, std::numeric_limits<qint64>::max() - 1);
}

// Tries free names in turn; attempt gives what became of one name.
QString keepUnderFreeName(const QString &entryPath, const QDateTime &now,
    const std::function<Made(const QString &kept)> &attempt)
{
    const QFileInfo entry(entryPath);
    const QString folder = entry.absolutePath();
    for (int n = 1; n <= kMaxAttempts; ++n) {
        const QString kept = folder + u'/' + KeptVersion::nameFor(entry.fileName(), now, n);
        if (FileFaults::shouldFail(Step::Create, kept) || FileFaults::shouldFail(Step::Link, kept))
            throw Exception(StorageMessages::cannotCreate(kept));
        const Made result = attempt(kept);
        if (result == Made::Done)
            return kept;
        if (result == Made::Gone)
            return QString();
        if (result != Made::Taken)
            throw Exception(StorageMessages::cannotCreate(kept));
    }
    throw Exception(StorageMessages::cannotCreate(
        folder + u'/' + KeptVersion::nameFor(entry.fileName(), now, 1)));
}

} // namespace

QString KeptVersion::nameFor(const QString &entryName, const QDateTime &now, int attempt)
{
    const QString stem = entryName.section(u'.', 0, 0);
    QString name = stem + u".conflict-"_qs + now.toString(u"yyyyMMdd-HHmmss"_qs);
    if (attempt > 1)
        name += u'-' + QString::number(attempt);
    return name + u".txt"_qs;
}

QString KeptVersion::keepOpen(int fd, const std::optional<QByteArray> &lookedAt,
    const QString &entryPath, const QDateTime &now)
{
    const QString kept = keepUnderFreeName(entryPath, now, [&](const QString &to) {
        struct stat st
        {
        };
        if (::fstat(fd, &st) != 0)
            return Made::Failed;
        struct stat named
        {
        };
        if (st.st_nlink == 0 && ::lstat(native(entryPath).constData(), &named) != 0)
            return Made::Gone;
        return copyBytes(lookedAt ? lookedAt : bytesOf(fd), to);
    });
    if (!kept.isEmpty() && !FilePrimitives::syncFolder(QFileInfo(kept).absolutePath()))
        throw Exception(StorageMessages::cannotCreate(kept));
    return kept;
}

QString KeptVersion::keepTemporary(
    const QString &temporaryPath, int fd, const QString &entryPath, const QDateTime &now)
{
    const QByteArray from = native(temporaryPath);
    return keepUnderFreeName(entryPath, now, [&](const QString &to) {
        const Made renamed = made(::renameat2(
            AT_FDCWD, from.constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE));
        if (renamed != Made::NoLinks)
            return renamed;
        Made result = link(temporaryPath, to);
        if (result == Made::NoLinks)
            result = copyBytes(bytesOf(fd), to);
        // Now under both names: the temporary name goes.
        if (result == Made::Done)
            ::unlink(from.constData());
        return result;
    });
}
