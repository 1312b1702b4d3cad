#pragma once

#include "search/ScanWorker.h"
#include "search/SearchQuery.h"
#include "search/SearchResult.h"

#include <QList>
#include <QObject>
#include <QThread>

#include <atomic>
#include <memory>

// Searches the diary beside the GUI thread: each search cancels the one before it, and its rows
// arrive in order, newest day first, in batches. The folded texts live as long as the scanner
// and are given back with it.
//
// Threads: every member runs on the GUI thread that made the scanner (asserted in debug
// builds); the worker and what it keeps belong to the scanner's own thread, and its rows reach
// the GUI thread only through queued signals, of which those of a cancelled search are dropped.
class DiaryScanner : public QObject
{
    Q_OBJECT

public:
    explicit DiaryScanner(ScanWorker::Lister lister, QObject *parent = nullptr);
    ~DiaryScanner() override;

    // notOnDisk: texts the page holds that their files do not (yet), each in place of its file.
    void search(
        const SearchQuery &query, const QString &folder, const QList<SearchSource> &notOnDisk);
    void cancel();
    bool running() const { return m_running; }

signals:
    void found(const QList<SearchResult> &rows);
    void finished(int days, int hits);

private:
    void assertThread() const;

    std::atomic<quint64> m_latest {0};
    bool m_running = false;
    QThread m_thread;
    // Lives on m_thread; destroyed here once the thread has stopped.
    std::unique_ptr<ScanWorker> m_worker;
};
