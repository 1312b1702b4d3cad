#include "FileFaults.h"

#include <atomic>
#include <mutex>
#include <unistd.h>

namespace {

// The entry writer's thread asks too, while a test may be setting the hook. Made before main,
// so they outlive the writer, which drains its saves at exit.
std::mutex hookMutex;
FileFaults::Hook currentHook;
std::atomic<bool> skipFlushes {false};

} // namespace

namespace FileFaults {

void setHook(Hook h)
{
    const std::lock_guard lock(hookMutex);
    currentHook = std::move(h);
}

bool shouldFail(Step step, const QString &path)
{
    Hook current;
    {
        const std::lock_guard lock(hookMutex);
        current = currentHook;
    }
    return current && current(step, path);
}

void pause(Step step, const QString &path)
{
    (void)shouldFail(step, path);
}

void setFlushesSkipped(bool skipped)
{
    skipFlushes = skipped;
}

bool flushesSkipped()
{
    return skipFlushes;
}

bool flush(int fd)
{
    return skipFlushes || ::fsync(fd) == 0;
}

} // namespace FileFaults
