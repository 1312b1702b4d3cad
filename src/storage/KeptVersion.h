#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Another writer's version of an entry, kept beside it: "MMDD.conflict-YYYYMMDD-HHMMSS.txt" in
// the same folder, then "-2", "-3" and so on when that name is taken. A kept version never
// replaces a file, and such a name is never that of an entry, so it is never loaded or replaced.
// A kept version is always the entry's own bytes, never a link to a file a symbolic link named.
namespace KeptVersion {

// Keeps the version open on fd, which was at entryPath when it was looked at, before the
// entry is replaced (where names cannot be swapped): a copy of lookedAt, the bytes read at
// the look, when given (so a write into the entry since does not change what is kept), else
// of what fd holds. Gives the kept version's path, or an empty text when it was deleted
// meanwhile and nothing is at the entry (nothing to keep). Raises the create-file error
// when no copy could be made.
QString keepOpen(int fd, const std::optional<QByteArray> &lookedAt, const QString &entryPath,
    const QDateTime &now);

// Keeps the file that lies under temporaryPath, open on fd (what a swap handed back, or what
// a crash left there), as a version of entryPath: renamed to a free conflict name without
// replacing anything, else linked there, else copied, and the temporary name removed. The
// folder is not flushed here. Raises the create-file error when nothing could be made.
QString keepTemporary(
    const QString &temporaryPath, int fd, const QString &entryPath, const QDateTime &now);

QString nameFor(const QString &entryName, const QDateTime &now, int attempt);

} // namespace KeptVersion
