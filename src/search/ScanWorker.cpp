#include "ScanWorker.h"

#include "search/TextFold.h"
#include "storage/DiaryText.h"
#include "storage/PaneCapacity.h"
#include "storage/ReadFile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>

namespace {

// Rows go to the window at most this often, so that it repaints once per frame at most.
constexpr qint64 kBatchMs = 15;

bool newerFirst(const SearchSource &a, const SearchSource &b)
{
    if (a.year != b.year)
        return a.year > b.year;
    if (a.month != b.month)
        return a.month > b.month;
    if (a.day != b.day)
        return a.day > b.day;
    if (a.keptCopy != b.keptCopy)
        return !a.keptCopy;
    return a.path < b.path;
}

} // namespace

ScanWorker::ScanWorker(Lister lister, const std::atomic<quint64> &latest)
    : m_lister(std::move(lister)), m_latest(latest)
{ }

void ScanWorker::assertThread() const
{
    Q_ASSERT_X(QThread::currentThread() == thread(), "ScanWorker", "called off the scan thread");
}

void ScanWorker::scan(quint64 generation, const SearchQuery &query, const QString &folder,
    const QList<SearchSource> &notOnDisk)
{
    assertThread();
    if (cancelled(generation))
        return;
    if (folder != m_folder) {
        m_folded.clear();
        m_listing.clear();
        m_changes.reset();
        m_folder = folder;
    }
    // Asked before listing, so that a change made meanwhile is seen by the next query.
    if (m_changes.changed()) {
        relist(folder);
        m_lookAgain = true;
    }
    const bool look = m_lookAgain;
    QList<SearchResult> batch;
    QElapsedTimer sinceBatch;
    sinceBatch.start();
    int days = 0;
    int hits = 0;
    QString folded;
    for (const SearchSource &source : sources(notOnDisk)) {
        if (cancelled(generation))
            return;
        QStringView text;
        QStringView foldedText;
        if (source.text) {
            folded = TextFold::fold(*source.text);
            text = *source.text;
            foldedText = folded;
        } else {
            const Folded &kept = entry(source.path, look);
            text = kept.original();
            foldedText = kept.folded();
        }
        const SearchQuery::Match match = query.match(foldedText);
        if (match.hits > 0) {
            const TextFold::Span hit = TextFold::originalSpan(text, match.first, match.firstEnd);
            batch.append({source.year, source.month, source.day, source.keptCopy, source.path,
                match.hits, SearchSnippet::around(text, hit)});
            ++days;
            hits += match.hits;
        }
        if (!batch.isEmpty() && sinceBatch.elapsed() >= kBatchMs) {
            emit found(generation, batch);
            batch.clear();
            sinceBatch.restart();
        }
    }
    m_lookAgain = false;
    if (!batch.isEmpty())
        emit found(generation, batch);
    emit finished(generation, days, hits);
}

qsizetype ScanWorker::keptCharacters() const
{
    assertThread();
    qsizetype characters = 0;
    for (const Folded &folded : m_folded)
        characters += folded.both.size();
    return characters;
}

void ScanWorker::relist(const QString &folder)
{
    m_listing = folder.isEmpty() ? QList<SearchSource>() : m_lister(folder);
    std::sort(m_listing.begin(), m_listing.end(), newerFirst);
    // Watched before the files are looked at, so nothing changed after the look goes unseen.
    if (!folder.isEmpty())
        m_changes.watch(folder);
    QSet<QString> listed;
    QString lastYearFolder;
    for (const SearchSource &source : std::as_const(m_listing)) {
        listed.insert(source.path);
        const QString yearFolder = source.path.left(source.path.lastIndexOf(u'/'));
        if (yearFolder != lastYearFolder)
            m_changes.watch(yearFolder);
        lastYearFolder = yearFolder;
    }
    // Entries gone from the folder are forgotten.
    m_folded.removeIf([&](const auto &it) { return !listed.contains(it.key()); });
}

QList<SearchSource> ScanWorker::sources(const QList<SearchSource> &notOnDisk) const
{
    if (notOnDisk.isEmpty())
        return m_listing;
    // A text not on disk yet takes the place of its entry's file.
    QList<SearchSource> all = m_listing;
    QSet<QString> replaced;
    for (const SearchSource &source : notOnDisk)
        replaced.insert(source.path);
    all.removeIf([&](const SearchSource &s) { return !s.keptCopy && replaced.contains(s.path); });
    all.append(notOnDisk);
    std::sort(all.begin(), all.end(), newerFirst);
    return all;
}

const ScanWorker::Folded &ScanWorker::entry(const QString &path, bool look)
{
    const auto known = m_folded.constFind(path);
    if (!look && known != m_folded.cend())
        return *known;
    Folded &folded = m_folded[path];
    struct stat st
    {
    };
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        folded = Folded();
        return folded;
    }
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const qint64 changed = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    if (folded.size == st.st_size && folded.modified == modified && folded.changed == changed
        && folded.inode == st.st_ino)
        return folded;
    folded.size = st.st_size;
    folded.modified = modified;
    folded.changed = changed;
    folded.inode = st.st_ino;
    read(path, folded);
    return folded;
}

void ScanWorker::read(const QString &path, Folded &into)
{
    into.both.clear();
    into.originalSize = 0;
    if (into.size > kPaneCapacityBytes)
        return;
    // Read as the page reads an entry, never through the page's record of what it saw.
    const ReadFile file(path);
    if (file.fd() < 0)
        return;
    const std::optional<QByteArray> bytes = file.readUpTo(kPaneCapacityBytes);
    if (!bytes || bytes->size() > kPaneCapacityBytes)
        return;
    const QString original = diaryTextFromBytes(*bytes);
    TextFold::fold(original, m_scratch);
    QString both;
    both.reserve(original.size() + m_scratch.size());
    both.append(original);
    both.append(m_scratch);
    into.both = std::move(both);
    into.originalSize = original.size();
}
