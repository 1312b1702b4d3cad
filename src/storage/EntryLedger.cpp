#include "EntryLedger.h"

#include "storage/FilePrimitives.h"
#include "storage/PaneCapacity.h"
#include "storage/ReadFile.h"

#include <QFile>

#include <atomic>
#include <ctime>

namespace {

using FilePrimitives::sameTime;

std::atomic<long> clockAhead {0};

struct timespec now()
{
    struct timespec t
    {
    };
    ::clock_gettime(CLOCK_REALTIME, &t);
    t.tv_sec += clockAhead.load();
    return t;
}

} // namespace

void EntryLedger::setClockAhead(long seconds)
{
    clockAhead.store(seconds);
}

EntryLedger &EntryLedger::instance()
{
    static EntryLedger ledger;
    return ledger;
}

void EntryLedger::rememberFile(const QString &path, const struct stat &st, const QByteArray &bytes)
{
    const State state {
        true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, now(), bytes};
    const std::lock_guard lock(m_mutex);
    m_states.insert(path, state);
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
        && state.size == st.st_size && sameTime(state.modified, st.st_mtim)
        && sameTime(state.changed, st.st_ctim);
}

// Another write within the same tick could have left every time as it was.
bool EntryLedger::recordedWithinTick(const State &state)
{
    return state.recordedAt.tv_sec - state.modified.tv_sec <= kTimestampTickSeconds;
}

bool EntryLedger::sameState(const State &a, const State &b)
{
    return a.exists == b.exists && a.device == b.device && a.inode == b.inode && a.size == b.size
        && sameTime(a.modified, b.modified) && sameTime(a.changed, b.changed)
        && sameTime(a.recordedAt, b.recordedAt) && a.bytes == b.bytes;
}

void EntryLedger::refresh(
    const QString &path, const State &judged, const struct stat &st, const QByteArray &bytes)
{
    const State state {
        true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, now(), bytes};
    const std::lock_guard lock(m_mutex);
    const auto found = m_states.find(path);
    if (found != m_states.end() && sameState(*found, judged))
        *found = state;
}

std::optional<EntryLedger::State> EntryLedger::known(const QString &path) const
{
    const std::lock_guard lock(m_mutex);
    const auto found = m_states.constFind(path);
    if (found == m_states.cend())
        return std::nullopt;
    return *found;
}

EntryLedger::Look EntryLedger::judge(
    const std::optional<State> &state, const struct stat &st, int fd) const
{
    const bool same = state && sameFile(*state, st);
    if (same && !recordedWithinTick(*state))
        return {Standing::Seen, std::nullopt};
    // Content that cannot be read, or that no pane could hold, cannot be shown to be ours: it
    // is kept rather than replaced.
    std::optional<QByteArray> bytes;
    if (S_ISREG(st.st_mode) && st.st_size <= kPaneCapacityBytes && fd >= 0)
        bytes = ReadFile::readUpTo(fd, kPaneCapacityBytes);
    // Touched, or rewritten with the same bytes: still ours.
    if (state && state->exists && bytes && *bytes == state->bytes)
        return {Standing::Seen, std::move(bytes)};
    return {Standing::Foreign, std::move(bytes)};
}

EntryLedger::Look EntryLedger::look(const QString &path, const QString &file)
{
    const QString &at = file.isEmpty() ? path : file;
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(at).constData(), &st) != 0)
        return {Standing::Absent, std::nullopt};
    const std::optional<State> state = known(path);
    if (state && sameFile(*state, st) && !recordedWithinTick(*state))
        return {Standing::Seen, std::nullopt};
    const ReadFile reader(at);
    struct stat opened
    {
    };
    if (reader.fd() >= 0 && ::fstat(reader.fd(), &opened) == 0)
        st = opened;
    Look found = judge(state, st, reader.fd());
    // Seen again now, a tick or more after it was written: its times alone tell from now on.
    if (found.standing == Standing::Seen && found.bytes)
        refresh(path, *state, st, *found.bytes);
    return found;
}

EntryLedger::Look EntryLedger::lookAt(const QString &path, int fd, const struct stat &st) const
{
    return judge(known(path), st, fd);
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
