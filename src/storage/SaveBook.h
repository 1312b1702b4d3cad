#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The page's saves that are not known to be on disk, at most one per entry file: handed to the
// entry writer with its outcome not yet taken, or failed (kept until a retry saves it or it is
// rescued). Keyed by the entry file, never by the date: the same day in another diary folder is
// another entry. A plain value; its owner decides which thread touches it.
class SaveBook
{
public:
    struct Save
    {
        QDate date;
        QString path; // the entry file
        QString text;
        bool failed = false; // false: handed to the writer, outcome not yet taken
        QString error; // why it failed
        QString folder; // the diary folder it was written for
    };

    // Replaces what is known of the entry file's save, or adds it (after the others).
    void put(const Save &save);
    void remove(const QString &path);
    std::optional<Save> take(const QString &path);
    // The entry file's save, when one is known.
    const Save *find(const QString &path) const;

    template<typename Predicate> void removeIf(Predicate predicate) { m_saves.removeIf(predicate); }
    void clear() { m_saves.clear(); }
    bool isEmpty() const { return m_saves.isEmpty(); }
    QList<Save>::const_iterator begin() const { return m_saves.cbegin(); }
    QList<Save>::const_iterator end() const { return m_saves.cend(); }

    // The saves that failed, oldest first.
    QList<Save> failed() const;
    // Every entry file the book knows.
    QStringList paths() const;

private:
    qsizetype indexOf(const QString &path) const;

    QList<Save> m_saves;
};
