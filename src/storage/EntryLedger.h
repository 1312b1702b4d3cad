#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <sys/stat.h>

// What this run last loaded from or wrote to each entry file. A synchroniser may deliver
// another computer's version of a day at any moment; an entry file is replaced only while it
// still holds what is remembered here, so such a version is never lost unseen. Safe to use from
// the GUI thread and the entry writer's thread at once.
class EntryLedger
{
public:
    // How the entry file on disk stands against what is remembered of it.
    enum class Standing {
        Absent, // no file is there
        Seen, // the file holds what was last loaded or written
        Foreign, // another writer made it, or nothing is remembered of it
    };
    struct Look
    {
        Standing standing = Standing::Absent;
        // The file's bytes, when they had to be read to decide (else empty).
        std::optional<QByteArray> bytes;
    };

    // The coarsest step of a file system's times (FAT's two seconds): a file rewritten within
    // this time of being recorded may show the very same times and size.
    static constexpr long kTimestampTickSeconds = 2;

    static EntryLedger &instance();

    // Tests: the ledger's clock runs this many seconds ahead of the system's, so records made
    // from now on count as made long after the files' times, as for a file written a while
    // before it was loaded (then its times alone decide). Any thread.
    static void setClockAhead(long seconds);

    void rememberFile(const QString &path, const struct stat &st, const QByteArray &bytes);
    void rememberAbsent(const QString &path);
    // Only what the shown page and the saves in flight need is kept; an entry holds up to the
    // pane's capacity.
    void retainOnly(const QStringList &paths);
    // A save of the file is in flight: what is known of it stays until unpinned.
    void pin(const QString &path);
    void unpin(const QString &path);

    // Compares the file at path with what is remembered of it: metadata first (device, inode,
    // size, modification and change times to the nanosecond), then the content, so a touch is no
    // change. The content is compared even when the metadata agree while the record was made
    // within a timestamp tick of the file's modification time.
    // file: where the entry's file is, when not at path itself (path with its symbolic links
    // resolved once for a save).
    Look look(const QString &path, const QString &file = QString());
    // The same for a file open on fd that was at path until now (another writer's version that a
    // swap handed back), whose status st was taken while it was still at path.
    Look lookAt(const QString &path, int fd, const struct stat &st) const;
    // True when the file at path is known to hold exactly these bytes.
    bool holds(const QString &path, const QByteArray &bytes, const Look &look) const;

private:
    struct State
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        struct timespec modified = {};
        struct timespec changed = {};
        struct timespec recordedAt = {};
        QByteArray bytes;
    };
    static bool sameFile(const State &state, const struct stat &st);
    static bool sameState(const State &a, const State &b);
    // Records st and bytes for path unless the record changed since it was judged (the writer's
    // thread may have recorded a newer file meanwhile).
    void refresh(
        const QString &path, const State &judged, const struct stat &st, const QByteArray &bytes);
    static bool recordedWithinTick(const State &state);
    std::optional<State> known(const QString &path) const;
    Look judge(const std::optional<State> &state, const struct stat &st, int fd) const;

    mutable std::mutex m_mutex;
    QHash<QString, State> m_states;
    QHash<QString, int> m_pinned;
};
