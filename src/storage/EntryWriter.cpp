#include "EntryWriter.h"

#include "storage/AtomicFile.h"
#include "storage/Cp932.h"
#include "storage/EntryLedger.h"
#include "storage/EntryPlacement.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/FilePrimitives.h"
#include "storage/KeptVersion.h"
#include "storage/PaneCapacity.h"
#include "storage/ReadFile.h"
#include "storage/StagedFile.h"
#include "storage/StorageMessages.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <atomic>

namespace {

std::atomic<EntryWriter *> alive {nullptr};

// Set from a signal handler, so it must be a plain atomic flag.
std::atomic<bool> waitsInterrupted {false};
static_assert(std::atomic<bool>::is_always_lock_free);

// How often a bounded wait looks whether it was cut short.
constexpr std::chrono::milliseconds kInterruptPoll {20};

// The first save of a year: its folder is made and flushed here, and the text staged in it.
// Gives the message of the step that failed, or an empty text.
QString stageInNewFolder(
    const QString &entryPath, const QByteArray &bytes, std::unique_ptr<StagedFile> &staged)
{
    if (!FilePrimitives::makeFolder(QFileInfo(entryPath).absolutePath(), 0700))
        return StorageMessages::cannotCreateDirectory();
    return StorageMessages::forResult(AtomicFile::stage(entryPath, bytes, 0600, staged), entryPath);
}

// Keeps the entry's bytes beside it when they hold more bytes that are not code page 932 than
// the new ones: those could not stay beside the typing. Gives the kept file, or an empty text.
QString keepDroppedEscapes(const QString &entryPath, const QByteArray &bytes)
{
    const ReadFile entry(entryPath);
    const std::optional<QByteArray> previous
        = entry.fd() >= 0 ? entry.readUpTo(kPaneCapacityBytes) : std::nullopt;
    if (!previous
        || Cp932::escapeCount(Cp932::decode(*previous)) <= Cp932::escapeCount(Cp932::decode(bytes)))
        return QString();
    return KeptVersion::keepOpen(entry.fd(), previous, entryPath, QDateTime::currentDateTime());
}

} // namespace

EntryWriter &EntryWriter::instance()
{
    EntryWriter *writer = alive.load();
    Q_ASSERT_X(writer, "EntryWriter::instance", "no entry writer was made");
    Q_ASSERT(writer->onOwnerThread());
    return *writer;
}

EntryWriter *EntryWriter::current()
{
    return alive.load();
}

EntryWriter::EntryWriter() : m_owner(std::this_thread::get_id())
{
    // Made first, so the ledger outlives the writer's last saves.
    EntryLedger::instance();
    [[maybe_unused]] EntryWriter *before = alive.exchange(this);
    Q_ASSERT_X(!before, "EntryWriter", "a second entry writer was made");
}

EntryWriter::~EntryWriter()
{
    Q_ASSERT(onOwnerThread());
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    alive.store(nullptr);
}

bool EntryWriter::onOwnerThread() const
{
    return std::this_thread::get_id() == m_owner;
}

bool EntryWriter::onWriterThread() const
{
    return std::this_thread::get_id() == m_writer;
}

void EntryWriter::submit(const QString &entryPath, const QString &text, const QByteArray &bytes,
    std::unique_ptr<StagedFile> staged, bool dropsEscapes)
{
    Q_ASSERT(onOwnerThread());
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
        m_waiting.push_back(Job {entryPath, text, bytes, std::move(staged), dropsEscapes});
    }
    m_wake.notify_one();
    // Its temporary file goes with it, outside the lock.
    if (overtaken)
        EntryLedger::instance().unpin(entryPath);
}

std::optional<QByteArray> EntryWriter::pendingBytes(const QString &entryPath) const
{
    Q_ASSERT(onOwnerThread());
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
    Q_ASSERT(onOwnerThread());
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return isIdleLocked(); });
}

bool EntryWriter::waitForAll(std::chrono::milliseconds limit)
{
    Q_ASSERT(onOwnerThread());
    const auto until = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (isIdleLocked())
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (waitsInterrupted.load() || now >= until)
            return false;
        m_idle.wait_until(lock, std::min(until, now + kInterruptPoll));
    }
}

void EntryWriter::interruptWaits() noexcept
{
    waitsInterrupted.store(true);
}

void EntryWriter::resumeWaits() noexcept
{
    waitsInterrupted.store(false);
}

bool EntryWriter::isIdle() const
{
    Q_ASSERT(onOwnerThread());
    const std::lock_guard lock(m_mutex);
    return isIdleLocked();
}

bool EntryWriter::isIdleLocked() const
{
    return m_waiting.empty() && !m_current && !m_retiring;
}

QList<EntryWriter::Outcome> EntryWriter::takeOutcomes()
{
    Q_ASSERT(onOwnerThread());
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_outcomes, {});
}

void EntryWriter::run()
{
    m_writer = std::this_thread::get_id();
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
        lock.lock();
        // Posted and let go of at once: a save whose outcome can be taken is no longer pending,
        // so a newer save of the same text is never dropped for it.
        const QString path = outcome.entryPath;
        m_outcomes.append(std::move(outcome));
        std::optional<Job> done = std::exchange(m_current, std::nullopt);
        m_retiring = true;
        lock.unlock();
        FileFaults::pause(FileFaults::Step::Posted, path);
        // Its staged file goes outside the lock, before anyone waiting is woken.
        done.reset();
        // Told before anyone waiting is woken, so a waiter finds the news posted.
        emit outcomesReady();
        lock.lock();
        m_retiring = false;
        if (m_waiting.empty())
            m_idle.notify_all();
    }
}

EntryWriter::Outcome EntryWriter::apply(Job &job) const
{
    Q_ASSERT(onWriterThread());
    if (!job.staged) {
        const QString error = stageInNewFolder(job.entryPath, job.bytes, job.staged);
        if (!error.isEmpty())
            return Outcome {job.entryPath, job.text, QString(), error, QString()};
    }
    QString previousKept;
    if (job.dropsEscapes) {
        try {
            previousKept = keepDroppedEscapes(job.entryPath, job.bytes);
        } catch (const Exception &error) {
            // The entry is left as it was: nothing of it may go unkept.
            return Outcome {job.entryPath, job.text, QString(), error.message(), QString()};
        }
    }
    const EntryPlacement::Placed placed
        = EntryPlacement::place(job.entryPath, *job.staged, job.bytes);
    return Outcome {job.entryPath, job.text, placed.keptFile, placed.error, previousKept};
}
