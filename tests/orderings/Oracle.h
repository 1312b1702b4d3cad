#pragma once

#include "History.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// Decides from the folders alone whether a run kept what its writers wrote: the diary folders
// (entries, copies beside them, files that links pointed to) and the rescue folder. It knows the
// history and the names a person sees on disk, nothing of how the program works.
class Oracle
{
public:
    // What the run did to the saves, beside the writers' texts.
    struct Faults
    {
        // A fault made a save fail after its text stood at the entry (swapped in, then keeping
        // what came back failed, or the folder's flush did; or a link arrived), where another
        // writer may have seen it; the entry may then hold any writer's newest text, and a
        // retry may keep what it finds. No other fault relaxes those two rules.
        bool savesFailed = false;
        // Each entry once for every step of its saves that was made to fail.
        QList<History::Entry> refusals;
        // The run ended in a termination, which need not retry a save its folder refused.
        bool terminated = false;
    };

    // folders: the name each diary folder has in the history, and its path. Every diary folder
    // can take a save whenever no fault refuses it.
    Oracle(const History &history, const QMap<QString, QString> &folders, const QString &rescue,
        const Faults &faults);

    // What went wrong, one line each; empty when the run kept everything.
    QStringList violations() const;

private:
    enum class Kind { Entry, Copy, Linked, Rescue };
    struct Found
    {
        QString path;
        Kind kind = Kind::Entry;
        QString folder; // empty for a rescue file
        QDate date;
        std::optional<QByteArray> bytes; // none: a link to nothing, or unreadable
    };

    void scanFolder(const QString &name, const QString &path);
    void scanRescue(const QString &path);
    QList<const Found *> filesOf(const History::Entry &entry) const;
    QList<History::Entry> entries() const;
    QString describe(int id) const;
    QString describe(const Found &file) const;

    void checkKnown(QStringList &out) const;
    void checkKept(const History::Entry &entry, QStringList &out) const;
    void checkEntry(const History::Entry &entry, QStringList &out) const;
    void checkCopies(const History::Entry &entry, QStringList &out) const;
    bool inConflict(const History::Entry &entry, int id) const;
    void checkRescued(const Found &file, QStringList &out) const;
    bool besideTyping(const History::Entry &entry, int id) const;

    const History &m_history;
    Faults m_faults;
    bool m_savesFailed = false;
    QList<Found> m_found;
};
