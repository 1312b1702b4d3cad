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

    static EntryLedger &instance();

    void rememberFile(const QString &path, const struct stat &st, const QByteArray &bytes);
    void rememberAbsent(const QString &path);
    // Only what the shown page and the saves in flight need is kept; an entry holds up to the
    // pane's capacity.
    void retainOnly(const QStringList &paths);
    // A save of the file is in flight: what is known of it stays until unpinned.
    void pin(const QString &path);
    void unpin(const QString &path);

    // Compares the file with what is remembered: metadata first (device, inode, size and
    // modification time to the nanosecond), then the content, so a touch is no change.
    Look look(const QString &path);
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
        QByteArray bytes;
    };
    static bool sameFile(const State &state, const struct stat &st);
    std::optional<State> known(const QString &path) const;

    mutable std::mutex m_mutex;
    QHash<QString, State> m_states;
    QHash<QString, int> m_pinned;
};
