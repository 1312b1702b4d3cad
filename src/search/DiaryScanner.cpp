#include "DiaryScanner.h"

#include "search/FoldTable.h"

#include <malloc.h>

DiaryScanner::DiaryScanner(ScanWorker::Lister lister, QObject *parent)
    : QObject(parent), m_worker(std::make_unique<ScanWorker>(std::move(lister), m_latest))
{
    qRegisterMetaType<QList<SearchResult>>();
    m_thread.setObjectName(QStringLiteral("search"));
    m_worker->moveToThread(&m_thread);
    connect(m_worker.get(), &ScanWorker::found, this,
        [this](quint64 generation, const QList<SearchResult> &rows) {
            if (generation == m_latest.load())
                emit found(rows);
        });
    connect(m_worker.get(), &ScanWorker::finished, this,
        [this](quint64 generation, int days, int hits) {
            if (generation != m_latest.load())
                return;
            m_running = false;
            emit finished(days, hits);
        });
    m_thread.start();
    // The fold table is made on this thread as soon as the window opens, before the first
    // query, so that folding the query on the GUI thread never waits for it.
    QMetaObject::invokeMethod(
        m_worker.get(), [] { FoldTable::instance(); }, Qt::QueuedConnection);
}

DiaryScanner::~DiaryScanner()
{
    assertThread();
    ++m_latest;
    m_thread.quit();
    m_thread.wait();
    m_worker.reset();
    // The folded texts were many small blocks of the scan thread's heap: hand them back.
    malloc_trim(0);
}

void DiaryScanner::assertThread() const
{
    Q_ASSERT_X(QThread::currentThread() == thread(), "DiaryScanner", "called off the GUI thread");
}

void DiaryScanner::search(
    const SearchQuery &query, const QString &folder, const QList<SearchSource> &notOnDisk)
{
    assertThread();
    const quint64 generation = ++m_latest;
    m_running = true;
    ScanWorker *worker = m_worker.get();
    QMetaObject::invokeMethod(
        worker,
        [worker, generation, query, folder, notOnDisk] {
            worker->scan(generation, query, folder, notOnDisk);
        },
        Qt::QueuedConnection);
}

void DiaryScanner::cancel()
{
    assertThread();
    ++m_latest;
    m_running = false;
}
