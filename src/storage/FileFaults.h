#pragma once

#include <QString>

#include <functional>

// A seam for tests to fail the file layer's steps, as a full disk or a refusing file system would,
// and to act at the points of a save where another writer could come in.
namespace FileFaults {

enum class Step {
    OpenRead,
    Create,
    Write,
    Flush,
    Sync,
    Rename,
    MakeDir,
    // Keeping another writer's version under a conflict name (link or copy).
    Link,
    // The atomic swap of the new text with the entry; failing it stands for a file system that
    // refuses the swap, so the writer takes its fallback.
    Exchange,
    // Pause points: the hook is asked only so that a test can act there; its answer is ignored.
    // Looked: the writer holds what was at the entry and is about to judge or keep it.
    Looked,
    // Kept: another writer's version has been kept; the new text is not yet final.
    Kept,
    // Renamed: the new text is under the entry's name; the folder is not yet flushed.
    Renamed,
    // Busy: another process holds the entry's lock (it is judging, keeping or renaming the same
    // entry); the save waits for it, a bounded time.
    Busy,
    // Posted: the entry writer has posted the save's outcome for the GUI thread and not yet
    // told anyone; the path is the entry's.
    Posted,
};

// The hook returns true to make that step fail for that path. Empty hook: nothing fails.
// It is called on whichever thread runs the step.
using Hook = std::function<bool(Step step, const QString &path)>;
void setHook(Hook hook);
bool shouldFail(Step step, const QString &path);
// Calls the hook at a pause point, ignoring its answer.
void pause(Step step, const QString &path);

// Tests only: fsync and fdatasync are skipped (the hook is still asked at Sync and Flush), so
// that a campaign of many schedules runs fast. The order of the flushes is the kill test's job.
void setFlushesSkipped(bool skipped);
bool flushesSkipped();

// fsync(fd), or success when flushes are skipped.
bool flush(int fd);

} // namespace FileFaults
