// Makes the flushes of a diary's files fail, as a dying disk or a full network share does:
// LD_PRELOAD=liborlune_failflush.so with
//   ORLUNE_FAIL_FLUSH_UNDER  the folder whose files (and the folder itself) are concerned;
//   ORLUNE_FAIL_FLUSH_WHILE  while this file exists, fsync and fdatasync there fail with EIO;
//   ORLUNE_HOLD_FLUSH_WHILE  while this file exists, a flush there waits (at most 30 s), so a
//                            test can act while a save is in the writer's hands;
//   ORLUNE_HOLD_FLUSH_FOREVER  set to 1: that wait has no limit, as on a share that stopped
//                            answering (the flush returns only once the file is removed).
// Flushes elsewhere (the settings, the rescue folder) go through untouched.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

namespace {

using SyncCall = int (*)(int);

constexpr int kHoldLimitMs = 30000;
constexpr int kHoldPollMs = 10;

bool exists(const char *path)
{
    return path && *path && ::access(path, F_OK) == 0;
}

bool concerned(int fd)
{
    const char *under = std::getenv("ORLUNE_FAIL_FLUSH_UNDER");
    if (!under || !*under)
        return false;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n < 0)
        return false;
    path[n] = '\0';
    const size_t length = std::strlen(under);
    return std::strncmp(path, under, length) == 0 && (path[length] == '/' || path[length] == '\0');
}

void holdWhileAsked()
{
    const char *hold = std::getenv("ORLUNE_HOLD_FLUSH_WHILE");
    const char *forever = std::getenv("ORLUNE_HOLD_FLUSH_FOREVER");
    const bool limited = !forever || std::strcmp(forever, "1") != 0;
    for (long long waited = 0; (!limited || waited < kHoldLimitMs) && exists(hold);
         waited += kHoldPollMs) {
        timespec left {0, kHoldPollMs * 1000000L};
        while (::nanosleep(&left, &left) != 0 && errno == EINTR) { }
    }
}

int flush(const char *name, int fd)
{
    const int saved = errno;
    if (concerned(fd)) {
        holdWhileAsked();
        if (exists(std::getenv("ORLUNE_FAIL_FLUSH_WHILE"))) {
            errno = EIO;
            return -1;
        }
    }
    errno = saved;
    const auto real = reinterpret_cast<SyncCall>(::dlsym(RTLD_NEXT, name));
    return real ? real(fd) : 0;
}

} // namespace

extern "C" int fsync(int fd)
{
    return flush("fsync", fd);
}

extern "C" int fdatasync(int fd)
{
    return flush("fdatasync", fd);
}
