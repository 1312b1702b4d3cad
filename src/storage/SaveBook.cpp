#include "SaveBook.h"

#include <QStringList>

void SaveBook::put(const Save &save)
{
    const qsizetype known = indexOf(save.path);
    if (known >= 0)
        m_saves[known] = save;
    else
        m_saves.append(save);
}

void SaveBook::remove(const QString &path)
{
    const qsizetype known = indexOf(path);
    if (known >= 0)
        m_saves.removeAt(known);
}

std::optional<SaveBook::Save> SaveBook::take(const QString &path)
{
    const qsizetype known = indexOf(path);
    if (known < 0)
        return std::nullopt;
    return m_saves.takeAt(known);
}

const SaveBook::Save *SaveBook::find(const QString &path) const
{
    const qsizetype known = indexOf(path);
    return known >= 0 ? &m_saves[known] : nullptr;
}

QList<SaveBook::Save> SaveBook::failed() const
{
    QList<Save> found;
    for (const Save &save : m_saves) {
        if (save.failed)
            found << save;
    }
    return found;
}

QStringList SaveBook::paths() const
{
    QStringList found;
    for (const Save &save : m_saves)
        found << save.path;
    return found;
}

qsizetype SaveBook::indexOf(const QString &path) const
{
    for (qsizetype i = 0; i < m_saves.size(); ++i) {
        if (m_saves[i].path == path)
            return i;
    }
    return -1;
}
