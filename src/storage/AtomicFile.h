#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <sys/stat.h>
#include <sys/types.h>

class StagedFile;

// Replaces a file's whole content so that a crash or a full disk leaves either the old or the
// new content, never a mix: a temporary file in the same folder (name starting with "." and
// created exclusively, mode 0600), written, synced, renamed over the target, folder synced.
// A replaced file keeps its mode; a symbolic link is written through to the file it names.
// Leftover temporaries of the same target, from a crash, are removed first.
class AtomicFile
{
public:
    enum class Result { Done, CreateFailed, WriteFailed };

    // newFileMode is applied to a file that did not exist; kUmaskMode means 0666 less the umask.
    static constexpr mode_t kUmaskMode = mode_t(-1);
    // beforeRename runs once the new content is on disk, right before it takes the path; an
    // exception from it leaves the target untouched. written receives the new file's status.
    static Result replace(const QString &path, QByteArrayView bytes, mode_t newFileMode,
        const std::function<void()> &beforeRename = {}, struct stat *written = nullptr);

    // Removes what a crash left of earlier replaces of path (replace does this itself).
    static void removeLeftovers(const QString &path);

    // The two halves of replace, for a caller that flushes on another thread: stage writes the
    // content under a temporary name (nothing is flushed yet, the target is untouched); commit
    // flushes it, runs beforeRename, renames it over the target and flushes the folder.
    static Result stage(const QString &path, QByteArrayView bytes, mode_t newFileMode,
        std::unique_ptr<StagedFile> &staged);
    static Result commit(StagedFile &staged, const std::function<void()> &beforeRename = {},
        struct stat *written = nullptr);

    // True when name is one of our temporaries, so that listings can skip it.
    static bool isTemporaryName(const QString &fileName);

    // fsync of a folder; file systems that cannot sync folders count as success.
    static bool syncFolder(const QString &folder);
};
