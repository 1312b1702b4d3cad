#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class StagedFile;

// Puts entry saves in place on a thread of its own, so that typing never waits for a slow disk.
// The GUI thread writes the new text under a temporary name (where anything that fails is
// reported on the keystroke); this thread flushes it and puts it in place (see EntryPlacement),
// after making and flushing the year folder for the first save of a year (which then stages
// the text here, any failure coming as the outcome),
// keeping another writer's version of the entry beside it. Saves of one entry are applied in
// the order they came; one still waiting when a newer save of the same entry arrives is dropped,
// since the newer text holds all the typing. Every save applied yields an outcome, which the GUI
// thread takes once told.
//
// Owned: the program's start-up (and a test) makes exactly one, before anything saves, on the
// thread that will save (the owner thread, the GUI thread in the program); its destruction
// puts every save still waiting in place and stops the thread.
//
// Threads: the constructor, the destructor, instance(), submit(), pendingBytes(), waitForAll(),
// isIdle(), resumeWaits() and takeOutcomes() run on the owner thread only; interruptWaits() on
// any, a signal handler's included; run() and apply() on the writer's
// thread only; outcomesReady() is raised on the writer's thread. The debug build asserts each.
class EntryWriter : public QObject
{
    Q_OBJECT

public:
    struct Outcome
    {
        QString entryPath;
        QString text; // what the save was for
        QString keptFile; // another writer's version kept beside the entry first, or empty
        QString error; // the message of the step that failed, or empty: the text is the entry
        // The entry's previous bytes kept beside it first, since a byte of them that is not
        // code page 932 could not stay beside the typing; or empty.
        QString previousKept;
    };

    EntryWriter();
    ~EntryWriter() override;
    EntryWriter(const EntryWriter &) = delete;
    EntryWriter &operator=(const EntryWriter &) = delete;

    // The one alive. Owner thread.
    static EntryWriter &instance();
    // The one alive, or null when none is (a tool that only reads entries). Owner thread.
    static EntryWriter *current();

    // staged: null for an entry whose year folder is still to be made. dropsEscapes: bytes
    // leave out escaped bytes of text (see Cp932::withoutJoiningEscapes), so the entry's
    // previous bytes are kept beside it first while they hold more of those. Owner thread.
    void submit(const QString &entryPath, const QString &text, const QByteArray &bytes,
        std::unique_ptr<StagedFile> staged, bool dropsEscapes = false);
    // The bytes of the newest save of the entry that is not on disk yet, if there is one.
    // Owner thread.
    std::optional<QByteArray> pendingBytes(const QString &entryPath) const;
    // Returns once every save handed over so far is on disk, or has failed. Owner thread.
    void waitForAll();
    // The same, giving up after limit (a disk that stopped answering holds a flush for ever):
    // false when saves were still in the writer's hands then. Owner thread.
    bool waitForAll(std::chrono::milliseconds limit);
    // True when waitForAll would return at once: every outcome is posted and told. Owner
    // thread.
    bool isIdle() const;
    // A termination was asked for: a bounded wait gives up at once, so that the termination's
    // rescue comes first, and so does every one until resumeWaits(). Any thread; safe in a
    // signal handler.
    static void interruptWaits() noexcept;
    // Bounded waits wait again (the termination's own). Owner thread.
    static void resumeWaits() noexcept;
    // Owner thread.
    QList<Outcome> takeOutcomes();

signals:
    // Raised on the writer's thread when outcomes wait to be taken.
    void outcomesReady();

private:
    struct Job
    {
        QString entryPath;
        QString text;
        QByteArray bytes;
        std::unique_ptr<StagedFile> staged;
        bool dropsEscapes = false;
    };

    bool onOwnerThread() const;
    bool onWriterThread() const;
    bool isIdleLocked() const; // m_mutex held
    void run();
    Outcome apply(Job &job) const;

    const std::thread::id m_owner;
    std::thread::id m_writer; // set and read by the writer's thread only
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // Guarded by m_mutex. At most one job of each entry; each newer than m_current's, if it is
    // of the same entry.
    std::deque<Job> m_waiting;
    // Guarded by m_mutex. Engaged exactly while the writer's thread applies that job, which it
    // took from the front of m_waiting; only that thread sets, resets or touches its staged
    // file, while other threads may read its entryPath and bytes under the lock (they do not
    // change while it is engaged). Reset in the same critical section that posts its outcome;
    // its staged file is gone before anyone waiting is woken.
    std::optional<Job> m_current;
    QList<Outcome> m_outcomes; // guarded by m_mutex
    // Guarded by m_mutex. Set by the writer's thread from posting an outcome until it has told
    // of it (its staged file gone, outcomesReady raised): not idle meanwhile.
    bool m_retiring = false;
    bool m_stopping = false; // guarded by m_mutex
    // Started by the first save, on the owner thread; joined by the destructor.
    std::thread m_thread;
};
