#pragma once

#include "Move.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The file layer's fault hook, driven by a schedule. A move armed at a step fires the next time
// a save of the diary reaches that step: a fault is answered there, the other writer's events
// run there, on whatever thread the step runs, and the rest (the person's events, the watcher,
// a second Orlune) run on the test's thread while the writer waits at the step. Every wait has
// a timeout.
class StepGate
{
public:
    // Runs an event at once, on the calling thread; path: the file the step was for.
    using Action = std::function<void(const Move &move, const QString &path)>;

    // diaries: only steps on files under these folders count (not the rescue folder's).
    // inlineAction runs the other writer's events inside the hook.
    StepGate(const QStringList &diaries, Action inlineAction);
    ~StepGate();
    StepGate(const StepGate &) = delete;
    StepGate &operator=(const StepGate &) = delete;

    void arm(const Move &move);
    // Moves still armed (they met no step).
    QList<Move> armed() const;
    int fired() const;
    // How many steps were made to fail.
    int failed() const;
    // The steps made to fail and their files, in order.
    QList<std::pair<FileFaults::Step, QString>> failures() const;

    // Lets the writer run until busy() is false, or until it waits for another process's lock
    // (that process needs this thread to go on): each time it waits at a step, atStep runs that
    // step's moves on this thread and the writer goes on. False when the writer neither
    // finished nor stopped within the timeout.
    using Handler = std::function<void(const QList<Move> &moves, const QString &path)>;
    bool runWriter(const std::function<bool()> &busy, const Handler &atStep,
        std::chrono::milliseconds timeout);
    // A step hangs now (a Hang move met it).
    bool hanging() const;
    // Lets a hung step return, as a failure, and any later one at once. False when one had to
    // be given up, the test's thread waiting for it all the while.
    bool unhang();
    // Every swap of names is refused from now on.
    void refuseSwaps();
    // The ledger's clock moves on past a time stamp's tick.
    static void age();
    // The writer has news (any thread): runWriter looks again at once.
    void nudge();
    // Lets a writer waiting at a step go on (before a move that waits for it).
    void release();
    // While held back, moves that need the test's thread stay armed: the test's thread is
    // itself waiting for the writer.
    void holdPauses(bool held);
    // What the hook met that the test should hear of (a pause nobody released).
    QStringList notes() const;

private:
    bool onStep(FileFaults::Step step, const QString &path);
    bool counts(const QString &path) const;
    void pauseHere(
        const QList<Move> &moves, const QString &path, std::unique_lock<std::mutex> &lock);

    QStringList m_roots;
    Action m_inline;
    std::thread::id m_testThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    QList<Move> m_armed;
    QList<Move> m_paused;
    QString m_pausedPath;
    bool m_waiting = false; // the writer waits at a step
    bool m_released = false;
    bool m_held = false;
    // Also looked at without the lock, between looks at the writer.
    std::atomic<bool> m_nudged = false;
    bool m_blocked = false; // the writer waits for another process's lock
    bool m_hanging = false; // the writer's step hangs
    bool m_unhung = false;
    bool m_hangGivenUp = false;
    bool m_swapsRefused = false;
    int m_fired = 0;
    int m_failed = 0;
    QList<std::pair<FileFaults::Step, QString>> m_failures;
    QStringList m_notes;
};
