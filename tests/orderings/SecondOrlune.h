#pragma once

#include "History.h"
#include "Move.h"

#include <QProcess>
#include <QString>
#include <QStringList>

// A second Orlune on the same diary: the page and the real storage code in a process of its
// own (orderings_actor), so its ledger and its live temporaries are its own. It is started by
// its first event, answers each command on one line, and is stopped by its process id at the
// end whatever happened. Every wait has a timeout.
class SecondOrlune
{
public:
    SecondOrlune(History &history, const QString &program, const QString &diary,
        const History::Entry &entry, const QString &dataHome);
    ~SecondOrlune();
    SecondOrlune(const SecondOrlune &) = delete;
    SecondOrlune &operator=(const SecondOrlune &) = delete;

    void act(Event event);
    // Its file system cannot swap names either (told before it starts).
    void refuseSwaps() { m_swapsRefused = true; }
    // Closes it (if running) and waits for the process to end.
    void finish();
    // What went wrong with the process itself.
    const QStringList &problems() const { return m_problems; }

private:
    bool start();
    std::optional<QByteArray> ask(const QByteArray &command);
    void save();

    History &m_history;
    QString m_program;
    QString m_diary;
    History::Entry m_entry;
    QString m_dataHome;
    QProcess m_process;
    bool m_started = false;
    bool m_closed = false;
    bool m_swapsRefused = false;
    QStringList m_problems;
};
