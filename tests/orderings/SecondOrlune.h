#pragma once

#include "History.h"
#include "Move.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// A second Orlune on the same diary: the page and the real storage code in a process of its
// own (orderings_actor), so its ledger and its live temporaries are its own. It is started by
// its first event, answers each command on one line, and is stopped by its process id at the
// end whatever happened. Moves armed at its steps fail there, or pause it there while the
// test's thread runs them. A save that waits for the first one's lock is left in flight and
// its end is taken later. Every wait has a timeout.
class SecondOrlune
{
public:
    // Runs the moves armed at one of its steps, while it waits there.
    using AtStep = std::function<void(const QList<Move> &moves)>;

    SecondOrlune(History &history, const QString &program, const QString &diary,
        const History::Entry &entry, const QString &dataHome);
    ~SecondOrlune();
    SecondOrlune(const SecondOrlune &) = delete;
    SecondOrlune &operator=(const SecondOrlune &) = delete;

    void setAtStep(AtStep atStep) { m_atStep = std::move(atStep); }
    // Starts its process, which opens nothing until its first event: a schedule that has one
    // starts it before anything else, while no writer of this process is at work.
    void launch();
    // A move for one of its steps (move.second); a fault is the process's own business.
    void arm(const Move &move);
    void act(Event event);
    // Its file system cannot swap names either, from now on.
    void refuseSwaps();
    // A save left in flight ends (unless it is waiting at a step right now).
    void settle();
    // Closes it (if running) and waits for the process to end.
    void finish();
    // What went wrong with the process itself.
    const QStringList &problems() const { return m_problems; }
    // The steps armed to fail.
    const QList<FileFaults::Step> &faultsArmed() const { return m_faultsArmed; }

private:
    bool start();
    bool send(const QByteArray &command);
    // Reads lines until one that done() accepts, running the moves of each pause on the way.
    std::optional<QByteArray> readUntil(
        const QByteArray &command, const std::function<bool(const QByteArray &line)> &done);
    // Sends a command and reads up to its answer end; one that may wait for the first one's
    // lock (mayWait) is left in flight when it says so.
    std::optional<QByteArray> ask(
        const QByteArray &command, const QByteArray &end = "ok", bool mayWait = false);
    void sendArm(const Move &move);
    void save();

    History &m_history;
    QString m_program;
    QString m_diary;
    History::Entry m_entry;
    QString m_dataHome;
    QProcess m_process;
    AtStep m_atStep;
    QList<Move> m_armed; // pauses not yet met, in the schedule's order
    QList<FileFaults::Step> m_faultsArmed;
    bool m_launched = false;
    bool m_started = false;
    bool m_closed = false;
    bool m_swapsRefused = false;
    bool m_paused = false; // it waits at a step while the test runs that step's moves
    QByteArray m_inFlight; // the answer a command that said "busy" is still to give
    QStringList m_problems;
};
