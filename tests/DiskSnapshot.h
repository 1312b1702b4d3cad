#pragma once

#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>

#include <sys/stat.h>

// Everything under a folder, without following links: kind, mode and bytes of each entry.
// Two snapshots compare equal exactly when nothing on disk changed.
inline QMap<QString, QByteArray> diskSnapshot(const QString &root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st
        {
        };
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        QByteArray description = QByteArray::number(st.st_mode, 8) + ' ';
        if (S_ISLNK(st.st_mode)) {
            description += QFile::encodeName(QFileInfo(path).symLinkTarget());
        } else if (S_ISREG(st.st_mode)) {
            description += QByteArray::number(qint64(st.st_size)) + ' ';
            // Large sparse files are compared by size; their bytes are never read.
            QFile file(path);
            if (st.st_size < 64 * 1024 * 1024 && file.open(QIODevice::ReadOnly))
                description += file.readAll();
        }
        entries.insert(path.mid(root.size()), description);
    }
    return entries;
}

// The names whose entries differ, for a readable failure.
inline QString snapshotDifference(
    const QMap<QString, QByteArray> &before, const QMap<QString, QByteArray> &after)
{
    QStringList changed;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (after.value(it.key()) != it.value())
            changed << it.key();
    }
    for (auto it = after.begin(); it != after.end(); ++it) {
        if (!before.contains(it.key()))
            changed << u"+"_qs + it.key();
    }
    return changed.join(u", "_qs);
}
