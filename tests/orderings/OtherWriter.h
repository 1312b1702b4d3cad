#pragma once

#include "History.h"
#include "Move.h"

#include <QString>

// Another program writing the entry behind Orlune's back, with plain system calls (no fault
// hook), each event whole. Every new version it writes is the entry as it found it with a mark
// of its own added (so it saw that text), except the same-size rewrite, which overwrites the
// end of what it found; a deletion saw what it removed.
class OtherWriter
{
public:
    OtherWriter(History &history, Texts texts) : m_history(history), m_texts(texts) { }

    // entryPath: DIARY/YYYY/MMDD.txt; entry: how the history names it.
    void act(Event event, const QString &entryPath, const History::Entry &entry);
    // A version of its own made after seeing seen (none: nothing), not yet recorded.
    QByteArray newVersion(const std::optional<QByteArray> &seen);

private:
    void record(const History::Entry &entry, const QByteArray &bytes,
        const std::optional<QByteArray> &seen);

    void writeInPlace(const QString &path, const History::Entry &entry);
    void renameOver(const QString &path, const History::Entry &entry);
    void create(const QString &path, const History::Entry &entry);
    void remove(const QString &path, const History::Entry &entry);
    void touch(const QString &path);
    void sameSizeRewrite(const QString &path, const History::Entry &entry);
    void symlink(const QString &path, const History::Entry &entry);

    History &m_history;
    Texts m_texts;
};
