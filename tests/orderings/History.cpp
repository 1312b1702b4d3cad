#include "History.h"

int History::add(Writer writer, const Entry &entry, const QByteArray &bytes,
    const std::optional<QByteArray> &seenBytes)
{
    const int id = int(m_texts.size());
    m_texts << Text {id, writer, entry, bytes, false, parentsOf(seenBytes)};
    return id;
}

int History::addDeletion(const Entry &entry, const std::optional<QByteArray> &seenBytes)
{
    const int id = int(m_texts.size());
    m_texts << Text {id, Writer::Other, entry, QByteArray(), true, parentsOf(seenBytes)};
    return id;
}

std::optional<int> History::idOf(const QByteArray &bytes) const
{
    if (bytes.isEmpty())
        return std::nullopt;
    for (const Text &text : m_texts) {
        if (!text.deletion && text.bytes == bytes)
            return text.id;
    }
    return std::nullopt;
}

QSet<int> History::seenBy(int id) const
{
    QSet<int> seen {id};
    QList<int> open {id};
    while (!open.isEmpty()) {
        for (const int parent : m_texts[open.takeLast()].parents) {
            if (!seen.contains(parent)) {
                seen.insert(parent);
                open << parent;
            }
        }
    }
    return seen;
}

QString History::mark(const QString &prefix)
{
    return prefix + QString::number(++m_marks);
}

QString History::writerName(Writer writer)
{
    switch (writer) {
    case Writer::Person:
        return QStringLiteral("person");
    case Writer::Other:
        return QStringLiteral("other writer");
    case Writer::Second:
        return QStringLiteral("second Orlune");
    }
    return QString();
}

QList<int> History::parentsOf(const std::optional<QByteArray> &seenBytes) const
{
    if (!seenBytes)
        return {};
    const std::optional<int> seen = idOf(*seenBytes);
    return seen ? QList<int> {*seen} : QList<int> {};
}
