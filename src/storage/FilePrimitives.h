#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <ctime>

// The file calls every part of the storage layer shares, at its bottom: it includes nothing of
// the layer but the fault hook, so nothing here reaches back up.
namespace FilePrimitives {

// Two file times to the nanosecond.
bool sameTime(const struct timespec &a, const struct timespec &b);

// What a step that makes or replaces a file came to.
enum class Result { Done, CreateFailed, WriteFailed };

// The path as the kernel takes it (the locale's encoding, as Qt names files).
QByteArray native(const QString &path);

// fsync of a folder, so that a rename or creation in it is durable; file systems that cannot
// sync folders count as success. The fault hook is asked at Sync for the folder.
bool syncFolder(const QString &folder);

// Makes a folder with mode (one that another writer made meanwhile counts as made) and flushes
// its parent, so the new name is durable. The fault hook is asked at MakeDir for the folder.
bool makeFolder(const QString &folder, unsigned mode);

// Writes all bytes to fd, asking the fault hook at Write for path before each chunk.
bool writeAll(int fd, QByteArrayView bytes, const QString &path);

// The error a link (or a rename with flags) failed with says the file system does not offer
// it at all (FAT, exFAT, some network shares), rather than that this one call failed.
bool refusesLinks(int error);
// The same for a rename with flags (an atomic swap, a rename that replaces nothing).
bool refusesRenameFlags(int error);

} // namespace FilePrimitives
