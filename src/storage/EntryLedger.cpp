#include "EntryLedger.h"

#include "storage/EntryFiles.h"
#include "storage/ReadFile.h"

#include <QFile>

EntryLedger &EntryLedger::instance()
{
    static EntryLedger ledger;
    return ledger;
}

void EntryLedger::rememberFile(const QString &path, const struct stat &st, const QByteArray &bytes)
{
    const std::lock_guard lock(m_mutex);
    m_states.insert(path, State {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, bytes});
}

void EntryLedger::rememberAbsent(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    m_states.insert(path, State {});
}

void EntryLedger::retainOnly(const QStringList &paths)
{
    const std::lock_guard lock(m_mutex);
    m_states.removeIf([&](const auto &item) {
        return !paths.contains(item.key()) && !m_pinned.contains(item.key());
    });
}

void EntryLedger::pin(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    ++m_pinned[path];
}

void EntryLedger::unpin(const QString &path)
{
    const std::lock_guard lock(m_mutex);
    const auto pinned = m_pinned.find(path);
    if (pinned != m_pinned.end() && --*pinned == 0)
        m_pinned.erase(pinned);
}

bool EntryLedger::sameFile(const State &state, const struct stat &st)
{
    return state.exists && state.device == st.st_dev && state.inode == st.st_ino
        && state.size == st.st_size && state.modified.tv_sec == st.st_mtim.tv_sec
        && state.modified.tv_nsec == st.st_mtim.tv_nsec;
}

std::optional<EntryLedger::State> EntryLedger::known(const QString &path) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_states.constFind(path);
    if (found == m_states.cend())
        return std::nullopt;
    return *found;
}

EntryLedger::Look EntryLedger::look(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {Standing::Absent, std::nullopt};
    const std::optional<State> state = known(path);
    if (state && sameFile(*state, st))
        return {Standing::Seen, std::nullopt};
    // Content that cannot be read, or that no pane could hold, cannot be shown to be ours: it
    // is kept rather than replaced.
    std::optional<QByteArray> bytes;
    if (S_ISREG(st.st_mode) && st.st_size <= kPaneCapacityBytes) {
        const ReadFile file(path);
        if (file.fd() >= 0)
            bytes = file.readUpTo(kPaneCapacityBytes);
    }
    if (state && state->exists && bytes && *bytes == state->bytes) {
        // Touched, or rewritten with the same bytes: still ours.
        rememberFile(path, st, *bytes);
        return {Standing::Seen, std::move(bytes)};
    }
    return {Standing::Foreign, std::move(bytes)};
}

bool EntryLedger::holds(const QString &path, const QByteArray &bytes, const Look &look) const
{
    if (look.bytes)
        return *look.bytes == bytes;
    if (look.standing != Standing::Seen)
        return false;
    const std::optional<State> state = known(path);
    return state && state->bytes == bytes;
}
