// Starts a program on the X display and reports, from outside it, how long it took to put its
// first top-level window on screen, and how much memory it holds a while after.
//
//   orlune-firstpaint [--settle MS] [--timeout MS] -- PROGRAM [ARGS...]
//
// Prints one line: first_paint_ms=F expose_ms=E map_ms=M cpu_ms=C rss_kib=R
// "First paint" is the first change of the window's contents after it was mapped, seen through
// the DAMAGE extension; the expose is the server asking for that paint. The processor time is
// what the program's threads still running had used when the paint was seen (a thread that has
// ended is no longer counted), so it shows how much of the wait was work on the main thread.

#include "WindowWatch.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

long residentKib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// Sum of the run time of every running thread, from the scheduler's nanosecond accounting.
double processorMs(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR *dir = ::opendir(tasks.c_str());
    if (!dir)
        return -1;
    double total = 0;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        double ns = 0;
        if (schedstat >> ns)
            total += ns / 1e6;
    }
    ::closedir(dir);
    return total;
}

} // namespace

int main(int argc, char *argv[])
{
    int settleMs = 2000;
    int timeoutMs = 30000;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--settle" && first + 1 < argc)
            settleMs = std::atoi(argv[++first]);
        else if (arg == "--timeout" && first + 1 < argc)
            timeoutMs = std::atoi(argv[++first]);
        else if (arg == "--") {
            ++first;
            break;
        } else
            break;
    }
    WindowWatch watch("orlune-firstpaint");
    if (first >= argc)
        watch.fail("usage: orlune-firstpaint [--settle MS] [--timeout MS] -- PROGRAM [ARGS...]");

    const double startedAt = WindowWatch::nowMs();
    const pid_t pid = watch.start(argv + first);
    if (!watch.pump(
            startedAt + timeoutMs, [&] { return !watch.alive() || watch.firstPaintAt >= 0; })
        || watch.firstPaintAt < 0)
        watch.fail("the program showed no window");

    const double cpu = processorMs(pid);
    ::usleep(useconds_t(settleMs) * 1000);
    const long rss = residentKib(pid);
    watch.stop();
    std::printf("first_paint_ms=%.2f expose_ms=%.2f map_ms=%.2f cpu_ms=%.2f rss_kib=%ld\n",
        watch.firstPaintAt - startedAt, watch.exposeAt - startedAt, watch.mapAt - startedAt, cpu,
        rss);
    return 0;
}
