#include "Oracle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

using Writer = History::Writer;

std::optional<QByteArray> bytesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString shown(const QByteArray &bytes)
{
    QString text = QString::fromLatin1(bytes.left(60).toPercentEncoding(" .;:-_"));
    return bytes.size() > 60 ? text + u"…"_qs : text;
}

} // namespace

Oracle::Oracle(const History &history, const QMap<QString, QString> &folders, const QString &rescue,
    const Faults &faults)
    : m_history(history), m_faults(faults), m_savesFailed(faults.savesFailed)
{
    for (auto folder = folders.cbegin(); folder != folders.cend(); ++folder)
        scanFolder(folder.key(), folder.value());
    scanRescue(rescue);
}

void Oracle::scanFolder(const QString &name, const QString &path)
{
    // Year folders hold entries (MMDD.txt) and what was kept beside them (MMDD…); "linked"
    // holds the files the other writer's links pointed to (YYYY-MMDD-…).
    static const QRegularExpression entryName(QStringLiteral("^(\\d\\d)(\\d\\d)\\.txt$"));
    static const QRegularExpression copyName(QStringLiteral("^(\\d\\d)(\\d\\d)"));
    static const QRegularExpression linkedName(QStringLiteral("^(\\d+)-(\\d\\d)(\\d\\d)-"));
    const QDir folder(path);
    for (const QString &year : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir yearFolder(folder.filePath(year));
        for (const QFileInfo &file : yearFolder.entryInfoList(QDir::Files | QDir::System)) {
            if (year == u"linked") {
                const auto match = linkedName.match(file.fileName());
                if (match.hasMatch())
                    m_found << Found {file.filePath(), Kind::Linked, name,
                        QDate(match.captured(1).toInt(), match.captured(2).toInt(),
                            match.captured(3).toInt()),
                        bytesOf(file.filePath())};
                continue;
            }
            const auto entry = entryName.match(file.fileName());
            const auto copy = copyName.match(file.fileName());
            const auto &match = entry.hasMatch() ? entry : copy;
            if (!match.hasMatch())
                continue;
            m_found << Found {file.filePath(), entry.hasMatch() ? Kind::Entry : Kind::Copy, name,
                QDate(year.toInt(), match.captured(1).toInt(), match.captured(2).toInt()),
                bytesOf(file.filePath())};
        }
    }
}

void Oracle::scanRescue(const QString &path)
{
    for (const QFileInfo &file : QDir(path).entryInfoList(QDir::Files)) {
        const QDate date
            = QDate::fromString(file.fileName().left(10), QStringLiteral("yyyy-MM-dd"));
        if (date.isValid())
            m_found << Found {
                file.filePath(), Kind::Rescue, QString(), date, bytesOf(file.filePath())};
    }
}

QList<const Oracle::Found *> Oracle::filesOf(const History::Entry &entry) const
{
    QList<const Found *> files;
    for (const Found &file : m_found) {
        if (file.date == entry.date && (file.kind == Kind::Rescue || file.folder == entry.folder))
            files << &file;
    }
    return files;
}

QList<History::Entry> Oracle::entries() const
{
    QList<History::Entry> all;
    for (const History::Text &text : m_history.texts()) {
        if (!all.contains(text.entry))
            all << text.entry;
    }
    for (const Found &file : m_found) {
        const History::Entry entry {file.folder, file.date};
        if (file.kind != Kind::Rescue && !all.contains(entry))
            all << entry;
    }
    return all;
}

QString Oracle::describe(int id) const
{
    const History::Text &text = m_history.text(id);
    return QStringLiteral("%1 text #%2 for %3 %4 \"%5\"")
        .arg(History::writerName(text.writer))
        .arg(id)
        .arg(text.entry.folder, text.entry.date.toString(Qt::ISODate),
            text.deletion ? QStringLiteral("(deleted)") : shown(text.bytes));
}

QString Oracle::describe(const Found &file) const
{
    return QFileInfo(file.path).fileName();
}

QStringList Oracle::violations() const
{
    QStringList out;
    checkKnown(out);
    // With no step made to fail, every save can go through: nothing needs rescuing.
    for (const Found &file : m_found) {
        if (file.kind == Kind::Rescue)
            checkRescued(file, out);
    }
    for (const History::Entry &entry : entries()) {
        checkKept(entry, out);
        checkEntry(entry, out);
        checkCopies(entry, out);
    }
    return out;
}

// Every file holds one whole text that a writer wrote for its day: nothing torn, mixed or
// saved under another day or folder.
void Oracle::checkKnown(QStringList &out) const
{
    for (const Found &file : m_found) {
        if (!file.bytes) {
            if (file.kind != Kind::Entry)
                out << QStringLiteral("%1 cannot be read").arg(file.path);
            continue;
        }
        const std::optional<int> id = m_history.idOf(*file.bytes);
        if (!id) {
            out << QStringLiteral("%1 holds bytes no writer wrote: \"%2\"")
                       .arg(file.path, shown(*file.bytes));
            continue;
        }
        const History::Text &text = m_history.text(*id);
        if (text.entry.date != file.date
            || (file.kind != Kind::Rescue && text.entry.folder != file.folder))
            out << QStringLiteral("%1 holds %2").arg(file.path, describe(*id));
    }
}

// Every text that no later text of the same writer saw is in some file of its day, or was
// seen by a text that is (or by a deletion).
void Oracle::checkKept(const History::Entry &entry, QStringList &out) const
{
    QSet<int> covered;
    for (const Found *file : filesOf(entry)) {
        if (const std::optional<int> id = file->bytes ? m_history.idOf(*file->bytes) : std::nullopt)
            covered.unite(m_history.seenBy(*id));
    }
    const QList<History::Text> &texts = m_history.texts();
    for (const History::Text &text : texts) {
        if (text.entry == entry && text.deletion)
            covered.unite(m_history.seenBy(text.id));
    }
    for (const History::Text &text : texts) {
        if (text.entry != entry || text.deletion || covered.contains(text.id))
            continue;
        const bool superseded = std::any_of(
            texts.begin() + text.id + 1, texts.end(), [&](const History::Text &later) {
                return later.writer == text.writer && m_history.seenBy(later.id).contains(text.id);
            });
        if (!superseded)
            out << QStringLiteral("lost: %1").arg(describe(text.id));
    }
}

// The entry holds the newest text of the writer that saw the newest texts of all the others;
// when none did (a real conflict), the newest text of one of them.
void Oracle::checkEntry(const History::Entry &entry, QStringList &out) const
{
    QMap<Writer, int> newest;
    for (const History::Text &text : m_history.texts()) {
        if (text.entry == entry)
            newest[text.writer] = text.id;
    }
    if (newest.isEmpty())
        return;
    std::optional<QByteArray> held;
    bool rescued = false;
    for (const Found *file : filesOf(entry)) {
        if (file->kind == Kind::Entry)
            held = file->bytes;
        if (file->kind == Kind::Rescue && file->bytes
            && std::any_of(newest.begin(), newest.end(),
                [&](int id) { return m_history.text(id).bytes == *file->bytes; }))
            rescued = true;
    }
    // A text that only a rescue file holds was never meant to reach the entry.
    if (rescued)
        return;
    const auto holds = [&](int id) {
        const History::Text &text = m_history.text(id);
        return text.deletion ? !held : held && *held == text.bytes;
    };
    const QString holding = held ? QStringLiteral("\"%1\"").arg(shown(*held)) : u"nothing"_qs;
    for (const int candidate : newest) {
        // A deletion has no say over a text saved again after it: what it removed may have been
        // a text the writer was still putting in place.
        if (m_savesFailed || m_history.text(candidate).deletion)
            break;
        const QSet<int> seen = m_history.seenBy(candidate);
        const bool sawAll = std::all_of(
            newest.begin(), newest.end(), [&](int other) { return seen.contains(other); });
        if (!sawAll)
            continue;
        if (!holds(candidate))
            out << QStringLiteral("entry %1 %2 holds %3, not the newest %4")
                       .arg(entry.folder, entry.date.toString(Qt::ISODate), holding,
                           describe(candidate));
        return;
    }
    if (std::none_of(newest.begin(), newest.end(), holds))
        out << QStringLiteral("entry %1 %2 holds %3, none of the newest texts of its writers")
                   .arg(entry.folder, entry.date.toString(Qt::ISODate), holding);
}

// A copy is made of a conflict only: never twice, never of what the entry holds, and only of a
// text that some Orlune's text for the day neither saw nor was seen by (else no save could have
// met it as another writer's version).
void Oracle::checkCopies(const History::Entry &entry, QStringList &out) const
{
    const QList<const Found *> files = filesOf(entry);
    for (const Found *copy : files) {
        if (copy->kind == Kind::Entry || copy->kind == Kind::Linked || !copy->bytes)
            continue;
        for (const Found *other : files) {
            if (other != copy && other->kind != Kind::Linked && other->bytes
                && *other->bytes == *copy->bytes && (other->kind == Kind::Entry || other > copy))
                out << QStringLiteral("%1 duplicates %2").arg(describe(*copy), describe(*other));
        }
        const std::optional<int> copied = m_history.idOf(*copy->bytes);
        if (!m_savesFailed && copy->kind == Kind::Copy && copied && !inConflict(entry, *copied))
            out << QStringLiteral("%1 keeps %2, which no Orlune's text was in conflict with")
                       .arg(describe(*copy), describe(*copied));
    }
}

// A rescue file is for a text its own folder could not take: its saves there were refused on the
// first try and on the retry (a termination tries once), or it stood beside other typing of the
// same entry that neither saw it (then neither may replace the other).
void Oracle::checkRescued(const Found &file, QStringList &out) const
{
    if (m_faults.refusals.isEmpty()) {
        out << QStringLiteral("%1 was rescued though no step failed").arg(describe(file));
        return;
    }
    const std::optional<int> id = file.bytes ? m_history.idOf(*file.bytes) : std::nullopt;
    if (!id)
        return; // checkKnown says so
    const History::Entry &entry = m_history.text(*id).entry;
    const auto refused = m_faults.refusals.count(entry);
    if (refused >= (m_faults.terminated ? 1 : 2) || besideTyping(entry, *id))
        return;
    out << QStringLiteral("%1 rescues %2, though its folder could take it (refused %3 times)")
               .arg(describe(file), describe(*id))
               .arg(refused);
}

bool Oracle::besideTyping(const History::Entry &entry, int id) const
{
    const QList<History::Text> &texts = m_history.texts();
    return std::any_of(texts.begin() + id + 1, texts.end(), [&](const History::Text &later) {
        return later.writer == m_history.text(id).writer && later.entry == entry
            && !m_history.seenBy(later.id).contains(id);
    });
}

bool Oracle::inConflict(const History::Entry &entry, int id) const
{
    const QSet<int> before = m_history.seenBy(id);
    for (const History::Text &text : m_history.texts()) {
        if (text.entry != entry || text.writer == Writer::Other || text.id == id
            || before.contains(text.id))
            continue;
        if (!m_history.seenBy(text.id).contains(id))
            return true;
    }
    return false;
}
