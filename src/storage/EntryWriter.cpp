#include "EntryWriter.h"

#include "storage/AtomicFile.h"
#include "storage/EntryLedger.h"
#include "storage/Exception.h"
#include "storage/KeptVersion.h"
#include "storage/StagedFile.h"

#include <QDateTime>

#include <sys/stat.h>

namespace {

const QString kCannotCreate = QStringLiteral("ファイル %1 を作成できません");
const QString kWriteError = QStringLiteral("ストリームへの書き込みエラー");

// Right before the new text takes the entry's name: a version that another writer left there
// since this run last saw the file is linked to a name of its own, so it is never lost.
QString keepForeignVersion(const QString &path)
{
    if (EntryLedger::instance().look(path).standing != EntryLedger::Standing::Foreign)
        return QString();
    return KeptVersion::keep(path, QDateTime::currentDateTime());
}

} // namespace

EntryWriter &EntryWriter::instance()
{
    static EntryWriter writer;
    return writer;
}

EntryWriter::EntryWriter()
{
    // Made first, so the ledger outlives the writer's last saves at exit.
    EntryLedger::instance();
}

EntryWriter::~EntryWriter()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void EntryWriter::submit(const QString &entryPath, const QString &text, const QByteArray &bytes,
    std::unique_ptr<StagedFile> staged)
{
    // Started by the first save, so that opening the diary costs no thread.
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    EntryLedger::instance().pin(entryPath);
    std::optional<Job> overtaken;
    {
        const std::lock_guard lock(m_mutex);
        for (auto job = m_waiting.begin(); job != m_waiting.end(); ++job) {
            if (job->entryPath == entryPath) {
                overtaken = std::move(*job);
                m_waiting.erase(job);
                break;
            }
        }
        m_waiting.push_back(Job {entryPath, text, bytes, std::move(staged)});
    }
    m_wake.notify_one();
    // Its temporary file goes with it, outside the lock.
    if (overtaken)
        EntryLedger::instance().unpin(entryPath);
}

std::optional<QByteArray> EntryWriter::pendingBytes(const QString &entryPath) const
{
    const std::lock_guard lock(m_mutex);
    for (auto job = m_waiting.rbegin(); job != m_waiting.rend(); ++job) {
        if (job->entryPath == entryPath)
            return job->bytes;
    }
    if (m_current && m_current->entryPath == entryPath)
        return m_current->bytes;
    return std::nullopt;
}

void EntryWriter::waitForAll()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_waiting.empty() && !m_current; });
}

QList<EntryWriter::Outcome> EntryWriter::takeOutcomes()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_outcomes, {});
}

void EntryWriter::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Saves still waiting at exit are put in place first.
        m_wake.wait(lock, [this] { return m_stopping || !m_waiting.empty(); });
        if (m_waiting.empty())
            return;
        m_current = std::move(m_waiting.front());
        m_waiting.pop_front();
        lock.unlock();
        Outcome outcome = apply(*m_current);
        EntryLedger::instance().unpin(outcome.entryPath);
        if (!outcome.keptFile.isEmpty() || !outcome.error.isEmpty()) {
            lock.lock();
            m_outcomes.append(std::move(outcome));
            lock.unlock();
            // Told before anyone waiting is woken, so a waiter finds the news posted.
            emit outcomesReady();
        }
        lock.lock();
        // The staged file is gone before anyone waiting is woken.
        m_current.reset();
        if (m_waiting.empty())
            m_idle.notify_all();
    }
}

EntryWriter::Outcome EntryWriter::apply(Job &job)
{
    Outcome outcome {job.entryPath, job.text, QString(), QString()};
    StagedFile &staged = *job.staged;
    struct stat written
    {
    };
    AtomicFile::Result result = AtomicFile::Result::WriteFailed;
    try {
        result = AtomicFile::commit(
            staged, [&] { outcome.keptFile = keepForeignVersion(job.entryPath); }, &written);
    } catch (const Exception &error) {
        // Reported on the GUI thread; the entry was not touched.
        outcome.error = error.message();
        return outcome;
    }
    // Renamed, even if the folder could not be flushed after: the file is ours.
    if (staged.isRenamed())
        EntryLedger::instance().rememberFile(job.entryPath, written, job.bytes);
    if (result == AtomicFile::Result::CreateFailed)
        outcome.error = kCannotCreate.arg(job.entryPath);
    else if (result == AtomicFile::Result::WriteFailed)
        outcome.error = kWriteError;
    return outcome;
}
