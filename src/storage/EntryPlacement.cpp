#include "EntryPlacement.h"

#include "storage/EntryLedger.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/FilePrimitives.h"
#include "storage/KeptVersion.h"
#include "storage/PaneCapacity.h"
#include "storage/ReadFile.h"
#include "storage/StagedFile.h"
#include "storage/StorageMessages.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QScopeGuard>
#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using FileFaults::Step;

namespace {

// Other writers coming in again and again between two steps: give up rather than spin.
constexpr int kMaxAttempts = 32;
// Another process judging the same entry holds its lock for a moment; a program that holds it
// for longer is not waited for.
constexpr int kLockTries = 200;
constexpr unsigned long kLockPauseMs = 10;

using FilePrimitives::native;
using FilePrimitives::sameTime;

// Takes the lock another Orlune's save of the same entry holds while it judges, keeps and puts
// its text in place. One that holds it for longer than a moment (a program stopped in a save)
// is not waited for, and neither is a file system that has no such locks.
void lockEntry(int fd, const QString &faultPath)
{
    for (int tries = 0; tries < kLockTries; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return;
        if (tries == 0)
            FileFaults::pause(Step::Busy, faultPath);
        QThread::msleep(kLockPauseMs);
    }
}

// The file at the entry, opened and locked before the swap, so that once it lies under the
// temporary name no clean-up of another process takes it for a leftover.
class HeldVersion
{
public:
    enum class State { Absent, Held, Link };

    HeldVersion(const QString &path, const QString &faultPath) : m_faultPath(faultPath)
    {
        for (int attempt = 0; attempt < kMaxAttempts && m_state == State::Absent; ++attempt) {
            m_fd = ::open(native(path).constData(),
                O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (m_fd < 0) {
                if (errno == ELOOP)
                    m_state = State::Link;
                // Unreadable: judged by its status alone, and kept.
                if (errno != ENOENT && errno != ELOOP
                    && ::lstat(native(path).constData(), &m_st) == 0)
                    m_state = State::Held;
                return;
            }
            lockEntry(m_fd, m_faultPath);
            if (::fstat(m_fd, &m_st) == 0 && StagedFile::isNamed(m_fd, path)) {
                m_state = State::Held;
                return;
            }
            // Replaced while we waited: take what is there now.
            ::close(std::exchange(m_fd, -1));
        }
    }
    ~HeldVersion()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HeldVersion(const HeldVersion &) = delete;
    HeldVersion &operator=(const HeldVersion &) = delete;

    State state() const { return m_state; }
    int fd() const { return m_fd; }
    const struct stat &status() const { return m_st; }

    // The swap handed back another file than the one held: hold that one instead.
    void holdInstead(const QString &path)
    {
        if (m_fd >= 0 && StagedFile::isNamed(m_fd, path))
            return;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0) {
            lockEntry(m_fd, m_faultPath);
            ::fstat(m_fd, &m_st);
        } else {
            ::lstat(native(path).constData(), &m_st);
        }
    }
    // Its status now: the swap changed its change time, so its bytes are compared with what
    // the ledger remembers, on this thread, off the typing.
    struct stat statusNow() const
    {
        struct stat now
        {
        };
        return m_fd >= 0 && ::fstat(m_fd, &now) == 0 ? now : m_st;
    }

private:
    QString m_faultPath;
    State m_state = State::Absent;
    int m_fd = -1;
    struct stat m_st = {};
};

bool isForeign(const EntryLedger::Look &look, const QByteArray &bytes)
{
    return look.standing == EntryLedger::Standing::Foreign && !(look.bytes && *look.bytes == bytes);
}

// The change time too: a rewrite that restores the size and the modification time is seen.
bool sameVersion(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && sameTime(a.st_mtim, b.st_mtim) && sameTime(a.st_ctim, b.st_ctim);
}

class Placement
{
public:
    // What one attempt came to: the new text is the entry, or the entry changed meanwhile.
    enum class Attempt { Again, Placed };

    Placement(const QString &entryPath, StagedFile &staged, const QByteArray &bytes)
        : m_entryPath(entryPath)
        , m_staged(staged)
        , m_bytes(bytes)
        , m_target(staged.target())
        , m_faultPath(staged.faultPath())
    { }

    EntryPlacement::Placed run()
    {
        if (FileFaults::shouldFail(Step::Sync, m_faultPath) || !FileFaults::flush(m_staged.fd())
            || FileFaults::shouldFail(Step::Flush, m_faultPath))
            return failed(StorageMessages::writeError());
        try {
            for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
                if (FileFaults::shouldFail(Step::Rename, m_faultPath))
                    return failed(StorageMessages::cannotCreate(m_entryPath));
                if ((m_swaps ? trySwap() : tryLookKeepRename()) == Attempt::Placed)
                    return finish();
            }
        } catch (const Exception &error) {
            return failed(error.message());
        }
        return failed(StorageMessages::cannotCreate(m_entryPath));
    }

private:
    Attempt trySwap()
    {
        HeldVersion held(m_target, m_faultPath);
        if (held.state() == HeldVersion::State::Absent)
            return takeFreeName();
        // A folder or a device where the entry was is nothing to swap with.
        if (held.state() == HeldVersion::State::Held && !S_ISREG(held.status().st_mode))
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        // A symbolic link arrived there since the save was staged (see arrivedAsLink).
        if (held.state() == HeldVersion::State::Link)
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        if (FileFaults::shouldFail(Step::Exchange, m_faultPath)) {
            m_swaps = false;
            return Attempt::Again;
        }
        if (::renameat2(AT_FDCWD, native(m_staged.path()).constData(), AT_FDCWD,
                native(m_target).constData(), RENAME_EXCHANGE)
            != 0) {
            if (errno == ENOENT) // deleted meanwhile: simply absent
                return Attempt::Again;
            if (FilePrimitives::refusesRenameFlags(errno)) {
                m_swaps = false;
                return Attempt::Again;
            }
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        }
        m_staged.markRenamed();
        takeWrittenStatus();
        // A symbolic link arrived at the very moment of the swap: as for one that arrived after
        // staging, the save fails rather than replace it.
        if (cameBackAsLink()) {
            swapBack();
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        }
        held.holdInstead(m_staged.path());
        FileFaults::pause(Step::Looked, m_faultPath);
        const EntryLedger::Look look
            = EntryLedger::instance().lookAt(m_entryPath, held.fd(), held.statusNow());
        if (!isForeign(look, m_bytes)) {
            ::unlink(native(m_staged.path()).constData());
            return Attempt::Placed;
        }
        try {
            keepReturned(held.fd());
        } catch (const Exception &) {
            // A newer version took the entry's name since the swap (it saw the new text): it
            // stays the entry, and what came back is tried once more, else left beside it for
            // the next save's clean-up.
            if (!StagedFile::isNamed(m_staged.fd(), m_target)) {
                keepReturned(held.fd());
                FileFaults::pause(Step::Kept, m_faultPath);
                return Attempt::Placed;
            }
            swapBack();
            throw;
        }
        FileFaults::pause(Step::Kept, m_faultPath);
        return Attempt::Placed;
    }

    void keepReturned(int fd)
    {
        const QString kept = KeptVersion::keepTemporary(
            m_staged.path(), fd, m_target, QDateTime::currentDateTime());
        if (!kept.isEmpty())
            m_keptFiles.append(kept);
    }

    // Another writer's version could not be kept: it goes back to the entry's name, and the
    // new text back under the temporary one, so nothing is replaced unkept. If another writer
    // wrote into the new text's file while it was the entry, that file is kept as a version of
    // its own (or left beside the entry, where the next save's clean-up keeps it).
    void swapBack()
    {
        const QByteArray temporary = native(m_staged.path());
        const QByteArray entry = native(m_target);
        if (::renameat2(
                AT_FDCWD, temporary.constData(), AT_FDCWD, entry.constData(), RENAME_EXCHANGE)
            != 0) {
            // The new text was deleted meanwhile: the other version takes the free name again.
            if (errno == ENOENT)
                ::renameat2(
                    AT_FDCWD, temporary.constData(), AT_FDCWD, entry.constData(), RENAME_NOREPLACE);
            return;
        }
        if (!StagedFile::isNamed(m_staged.fd(), m_staged.path()))
            return;
        if (stagedHoldsNewText()) {
            m_staged.markRenamed(false);
            return;
        }
        try {
            const QString kept = KeptVersion::keepTemporary(
                m_staged.path(), m_staged.fd(), m_target, QDateTime::currentDateTime());
            if (!kept.isEmpty())
                m_keptFiles.append(kept);
        } catch (const Exception &) {
            // Left beside the entry: the next save's clean-up keeps it.
        }
    }

    bool cameBackAsLink() const
    {
        struct stat st
        {
        };
        return ::lstat(native(m_staged.path()).constData(), &st) == 0 && S_ISLNK(st.st_mode);
    }

    bool stagedHoldsNewText() const
    {
        return ::lseek(m_staged.fd(), 0, SEEK_SET) == 0
            && ReadFile::readUpTo(m_staged.fd(), m_bytes.size()) == m_bytes;
    }

    // Nothing at the entry: the new text takes the name unless something took it meanwhile.
    Attempt takeFreeName()
    {
        FileFaults::pause(Step::Looked, m_faultPath);
        const QByteArray from = native(m_staged.path());
        const QByteArray to = native(m_target);
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE)
            == 0)
            return placed();
        if (errno == EEXIST)
            return Attempt::Again;
        if (!FilePrimitives::refusesRenameFlags(errno))
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        // A link never replaces a name either.
        if (::link(from.constData(), to.constData()) == 0) {
            ::unlink(from.constData());
            return placed();
        }
        if (errno == EEXIST)
            return Attempt::Again;
        if (::rename(from.constData(), to.constData()) != 0)
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        return placed();
    }

    Attempt placed()
    {
        m_staged.markRenamed();
        takeWrittenStatus();
        return Attempt::Placed;
    }

    // Where names cannot be swapped: look, keep, look again, rename.
    Attempt tryLookKeepRename()
    {
        if (arrivedAsLink())
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        const int fd
            = ::open(native(m_target).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0 && errno == ENOENT)
            return takeFreeName();
        if (fd < 0)
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        const auto closeFd = qScopeGuard([fd] { ::close(fd); });
        // Held until the rename, so that two Orlunes never look at, and keep, one version both:
        // the one that waited finds the other's text at the entry, and judges that.
        lockEntry(fd, m_faultPath);
        if (!StagedFile::isNamed(fd, m_target))
            return Attempt::Again;
        struct stat before
        {
        };
        if (::fstat(fd, &before) != 0)
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        const EntryLedger::Look look = EntryLedger::instance().lookAt(m_entryPath, fd, before);
        const std::optional<QByteArray> looked = look.bytes ? look.bytes : bytesAt(fd, before);
        FileFaults::pause(Step::Looked, m_faultPath);
        QString keptNow;
        if (isForeign(look, m_bytes) && !wasKept(before, look.bytes)) {
            // What was looked at is kept, even if the entry was written in place since; the look
            // read all of it unless it was over a pane's capacity.
            const bool whole = look.bytes && look.bytes->size() == before.st_size
                && before.st_size <= kPaneCapacityBytes;
            keptNow = KeptVersion::keepOpen(
                fd, whole ? look.bytes : std::nullopt, m_target, QDateTime::currentDateTime());
            if (keptNow.isEmpty())
                return Attempt::Again; // deleted meanwhile: look again
            m_keptFiles.append(keptNow);
            m_keptVersions.append({before, look.bytes});
            FileFaults::pause(Step::Kept, m_faultPath);
        }
        // Looked at again right before the rename: a version that came meanwhile is kept first.
        // Where the change time is no finer than the modification time (exFAT: whole seconds,
        // the two equal), a rewrite of the same size that puts the time back shows the same
        // status: its bytes tell.
        struct stat now
        {
        };
        if (::stat(native(m_target).constData(), &now) != 0 || !sameVersion(before, now)
            || !stillHolds(looked))
            return Attempt::Again;
        if (::rename(native(m_staged.path()).constData(), native(m_target).constData()) != 0) {
            undoKeep(keptNow, before);
            throw Exception(StorageMessages::cannotCreate(m_entryPath));
        }
        return placed();
    }

    // The bytes of the file open on fd, read from its start; none when they are over a pane's
    // capacity or cannot be read.
    static std::optional<QByteArray> bytesAt(int fd, const struct stat &st)
    {
        if (!S_ISREG(st.st_mode) || st.st_size > kPaneCapacityBytes
            || ::lseek(fd, 0, SEEK_SET) != 0)
            return std::nullopt;
        return ReadFile::readUpTo(fd, kPaneCapacityBytes);
    }

    // The entry still holds these bytes (none: they were not read, nothing to tell).
    bool stillHolds(const std::optional<QByteArray> &bytes) const
    {
        if (!bytes)
            return true;
        const ReadFile entry(m_target);
        return entry.fd() >= 0 && entry.readUpTo(kPaneCapacityBytes) == bytes;
    }

    // The file this save was staged for became a symbolic link since: the save fails rather
    // than replace the link, since a newer save may already be on its way through it; the next
    // save follows the link.
    bool arrivedAsLink() const
    {
        struct stat st
        {
        };
        return ::lstat(native(m_target).constData(), &st) == 0 && S_ISLNK(st.st_mode);
    }

    // The rename failed while the entry still is the very file just kept: the copy goes, since
    // the retry keeps it afresh.
    void undoKeep(const QString &kept, const struct stat &version)
    {
        struct stat entry
        {
        };
        if (kept.isEmpty() || ::stat(native(m_target).constData(), &entry) != 0
            || !sameVersion(entry, version))
            return;
        ::unlink(native(kept).constData());
        m_keptVersions.removeLast();
        m_keptFiles.removeLast();
    }

    // This save kept that version already: the same bytes (only touched since), or the same
    // file unchanged where its bytes could not be read.
    bool wasKept(const struct stat &version, const std::optional<QByteArray> &bytes) const
    {
        return std::any_of(m_keptVersions.cbegin(), m_keptVersions.cend(), [&](const Kept &kept) {
            return bytes && kept.bytes ? *bytes == *kept.bytes : sameVersion(kept.version, version);
        });
    }

    void takeWrittenStatus() { m_haveWritten = ::fstat(m_staged.fd(), &m_written) == 0; }

    EntryPlacement::Placed finish()
    {
        FileFaults::pause(Step::Renamed, m_faultPath);
        if (m_haveWritten)
            EntryLedger::instance().rememberFile(m_entryPath, m_written, m_bytes);
        // The new name is only durable once the folder itself is on disk.
        if (!FilePrimitives::syncFolder(m_staged.folder()))
            return {keptFile(), StorageMessages::writeError()};
        return {keptFile(), QString()};
    }

    QString keptFile() const { return m_keptFiles.isEmpty() ? QString() : m_keptFiles.last(); }
    EntryPlacement::Placed failed(const QString &message) const { return {keptFile(), message}; }

    const QString &m_entryPath;
    StagedFile &m_staged;
    const QByteArray &m_bytes;
    const QString m_target;
    const QString m_faultPath;
    bool m_swaps = true;
    // Every version kept by this save, the last one told in the outcome.
    QStringList m_keptFiles;
    struct Kept
    {
        struct stat version;
        std::optional<QByteArray> bytes;
    };
    QList<Kept> m_keptVersions;
    struct stat m_written = {};
    bool m_haveWritten = false;
};

} // namespace

EntryPlacement::Placed EntryPlacement::place(
    const QString &entryPath, StagedFile &staged, const QByteArray &bytes)
{
    return Placement(entryPath, staged, bytes).run();
}
