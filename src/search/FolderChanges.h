#pragma once

#include <QString>

// Tells whether anything changed in a diary folder or its year folders since last asked, from
// the kernel's notifications (inotify), so that a query need not look at every file when
// nothing did. Where notifications cannot be had, everything counts as changed every time.
//
// Threads: one thread at a time (the scan thread in the program).
class FolderChanges
{
public:
    FolderChanges();
    ~FolderChanges();
    FolderChanges(const FolderChanges &) = delete;
    FolderChanges &operator=(const FolderChanges &) = delete;

    // Watches folder (the diary folder or a year folder) from now on. False when it cannot.
    bool watch(const QString &folder);
    // Stops watching everything; the next question answers true.
    void reset();
    // Something changed (or may have) since the last call; drains the notifications.
    bool changed();

private:
    int m_fd = -1;
    bool m_missed = true;
};
