// Makes every fsync and fdatasync of a program slower, as a USB stick, an SD card or a network
// home folder is: LD_PRELOAD=liborlune_slowflush.so, with ORLUNE_SLOW_FLUSH_MS milliseconds
// added to each (80 when unset).

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

namespace {

using SyncCall = int (*)(int);

void delay()
{
    const char *asked = std::getenv("ORLUNE_SLOW_FLUSH_MS");
    const long ms = asked ? std::strtol(asked, nullptr, 10) : 80;
    timespec left {ms / 1000, (ms % 1000) * 1000000};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) { }
}

int slowly(const char *name, int fd)
{
    const auto real = reinterpret_cast<SyncCall>(::dlsym(RTLD_NEXT, name));
    const int saved = errno;
    delay();
    errno = saved;
    return real ? real(fd) : 0;
}

} // namespace

extern "C" int fsync(int fd)
{
    return slowly("fsync", fd);
}

extern "C" int fdatasync(int fd)
{
    return slowly("fdatasync", fd);
}
