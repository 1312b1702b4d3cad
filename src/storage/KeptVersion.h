#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Another writer's version of an entry, kept beside it before Orlune saves its own text there:
// "MMDD.conflict-YYYYMMDD-HHMMSS.txt" in the same year folder, then "-2", "-3" and so on when
// that name is taken. Such a name is never that of an entry, so it is never loaded or replaced.
class KeptVersion
{
public:
    // Gives the kept version's path. The entry file is never missing meanwhile: the version is
    // hard-linked to its new name (copied, on file systems without links). Raises the
    // create-file error when no copy could be made.
    static QString keep(const QString &entryPath, const QDateTime &now);

    static QString nameFor(const QString &entryName, const QDateTime &now, int attempt);
};
