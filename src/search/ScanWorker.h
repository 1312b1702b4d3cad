#pragma once

#include "search/FolderChanges.h"
#include "search/SearchQuery.h"
#include "search/SearchResult.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

// The search's side of its thread: lists the diary folder, reads and folds each entry once and
// keeps the folded texts for the next query, and matches a query against them, newest day
// first, handing rows over in batches. While the kernel reports no change in the folders, a
// query looks at no file; after any change, every file is looked at again and one whose size,
// times or identity changed is read again.
//
// Threads: made on the GUI thread, then moved to the scan thread; scan() and everything it
// holds (the folded texts, the folder) belong to the scan thread alone, which a debug build
// asserts. The latest query number is shared, atomically, so the GUI thread cancels a scan by
// starting the next.
class ScanWorker : public QObject
{
    Q_OBJECT

public:
    // Lists the entry files and kept copies of a diary folder, in no particular order.
    using Lister = std::function<QList<SearchSource>(const QString &folder)>;

    ScanWorker(Lister lister, const std::atomic<quint64> &latest);

    // Scan thread. Stops without finishing once a later query was started.
    void scan(quint64 generation, const SearchQuery &query, const QString &folder,
        const QList<SearchSource> &notOnDisk);

    // The characters kept for the texts read so far. Scan thread.
    qsizetype keptCharacters() const;

signals:
    void found(quint64 generation, const QList<SearchResult> &rows);
    // The scan went through every text: days and hits in all.
    void finished(quint64 generation, int days, int hits);

private:
    struct Folded
    {
        // What the file was when read: its text is re-read when any of these changed.
        qint64 size = -1;
        qint64 modified = 0;
        qint64 changed = 0;
        quint64 inode = 0;
        // The text, then its folded form, in one block sized to fit.
        QString both;
        qsizetype originalSize = 0;
        QStringView original() const { return QStringView(both).left(originalSize); }
        QStringView folded() const { return QStringView(both).mid(originalSize); }
    };

    void assertThread() const;
    bool cancelled(quint64 generation) const { return m_latest.load() != generation; }
    void relist(const QString &folder);
    QList<SearchSource> sources(const QList<SearchSource> &notOnDisk) const;
    const Folded &entry(const QString &path, bool look);
    void read(const QString &path, Folded &into);

    Lister m_lister;
    const std::atomic<quint64> &m_latest;
    QString m_folder;
    FolderChanges m_changes;
    // Every file must be looked at before it is matched again (a change, or a scan cut short).
    bool m_lookAgain = true;
    QList<SearchSource> m_listing;
    QHash<QString, Folded> m_folded;
    // Reused for every file read, so that reading leaves no holes between the kept texts.
    QString m_scratch;
};
