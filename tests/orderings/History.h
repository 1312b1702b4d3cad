#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// What every writer produced, in the order it happened: the person's texts (each keystroke, as
// the person meant it), the other writer's versions and deletions, the second Orlune's texts.
// Each text names the texts its writer had seen when making it, so that "included by a later
// text" means seen, not merely equal bytes. Texts carry unique marks, so bytes identify a text.
class History
{
public:
    enum class Writer { Person, Other, Second };

    // Where a text belongs: a diary folder and a day.
    struct Entry
    {
        QString folder;
        QDate date;
        bool operator==(const Entry &) const = default;
    };

    struct Text
    {
        int id = 0;
        Writer writer = Writer::Person;
        Entry entry;
        QByteArray bytes; // as on disk
        bool deletion = false; // the other writer removed the entry
        QList<int> parents; // the texts its writer had seen
    };

    // Records a text made after seeing seenBytes (the pane's or the entry's bytes; empty or
    // unknown bytes: nothing seen). Returns its id.
    int add(Writer writer, const Entry &entry, const QByteArray &bytes,
        const std::optional<QByteArray> &seenBytes);
    int addDeletion(const Entry &entry, const std::optional<QByteArray> &seenBytes);

    const QList<Text> &texts() const { return m_texts; }
    const Text &text(int id) const { return m_texts[id]; }
    std::optional<int> idOf(const QByteArray &bytes) const;
    // The text and everything it saw, directly or through others.
    QSet<int> seenBy(int id) const;
    // A fresh mark for a writer's next text.
    QString mark(const QString &prefix);

    static QString writerName(Writer writer);

private:
    QList<int> parentsOf(const std::optional<QByteArray> &seenBytes) const;

    QList<Text> m_texts;
    int m_marks = 0;
};
