#pragma once

#include "storage/FilePrimitives.h"

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <sys/types.h>

class StagedFile;

// Replaces a file's whole content so that a crash or a full disk leaves either the old or the
// new content, never a mix: a temporary file in the same folder (name starting with "." and
// created exclusively, mode 0600), written, synced, renamed over the target, folder synced.
// A replaced file keeps its mode; a symbolic link is written through to the file it names.
// Leftover temporaries of the same target, from a crash, are cleared first (see Leftovers).
namespace AtomicFile {

using Result = FilePrimitives::Result;

// newFileMode is applied to a file that did not exist; kUmaskMode means 0666 less the umask.
constexpr mode_t kUmaskMode = mode_t(-1);
Result replace(const QString &path, QByteArrayView bytes, mode_t newFileMode);

// The first half of an entry's save, for a caller that puts it in place on another thread
// (see EntryPlacement): writes the content under a temporary name beside the file that path
// names now (symbolic links followed, once: every later step uses that file), nothing
// flushed yet, the target untouched. The entry's leftovers are cleared first.
Result stage(const QString &path, QByteArrayView bytes, mode_t newFileMode,
    std::unique_ptr<StagedFile> &staged);
// Clears what a crash left beside an entry (stage does this itself).
void clearEntryLeftovers(const QString &path);

// True when name is one of our temporaries, so that listings can skip it.
bool isTemporaryName(const QString &fileName);

} // namespace AtomicFile
