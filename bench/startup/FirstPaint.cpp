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

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

namespace {

double nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

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

[[noreturn]] void fail(const char *message)
{
    std::fprintf(stderr, "orlune-firstpaint: %s\n", message);
    std::exit(2);
}

void stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 1000; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

struct Watch
{
    xcb_connection_t *conn = nullptr;
    uint8_t damageEvent = 0;
    std::set<xcb_window_t> candidates;
    xcb_window_t main = XCB_NONE;
    double mapAt = -1, exposeAt = -1, paintAt = -1;

    void follow(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn, window, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(conn, xcb_generate_id(conn), window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(conn);
        candidates.insert(window);
    }

    void handle(xcb_generic_event_t *event, double at)
    {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_create_notify_event_t *>(event);
            if (!e->override_redirect)
                follow(e->window);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (main == XCB_NONE && !e->override_redirect && candidates.count(e->window)) {
                main = e->window;
                mapAt = at;
            }
        } else if (type == XCB_EXPOSE) {
            const auto *e = reinterpret_cast<xcb_expose_event_t *>(event);
            if (e->window == main && exposeAt < 0)
                exposeAt = at;
        } else if (damageEvent && type == damageEvent + XCB_DAMAGE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_damage_notify_event_t *>(event);
            if (e->drawable == main && mapAt >= 0 && paintAt < 0)
                paintAt = at;
            xcb_damage_subtract(conn, e->damage, XCB_NONE, XCB_NONE);
            xcb_flush(conn);
        }
    }
};

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
    if (first >= argc)
        fail("usage: orlune-firstpaint [--settle MS] [--timeout MS] -- PROGRAM [ARGS...]");

    Watch watch;
    int screenNumber = 0;
    watch.conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(watch.conn))
        fail("cannot connect to the X display");
    const xcb_setup_t *setup = xcb_get_setup(watch.conn);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(watch.conn, &xcb_damage_id);
    if (!damage || !damage->present)
        fail("the X server has no DAMAGE extension");
    watch.damageEvent = damage->first_event;
    free(xcb_damage_query_version_reply(watch.conn,
        xcb_damage_query_version(watch.conn, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));

    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the server has taken the mask before the program starts.
    if (xcb_generic_error_t *error = xcb_request_check(watch.conn,
            xcb_change_window_attributes_checked(watch.conn, root, XCB_CW_EVENT_MASK, &rootMask))) {
        free(error);
        fail("cannot watch the root window");
    }

    const double startedAt = nowMs();
    const pid_t pid = ::fork();
    if (pid < 0)
        fail("cannot fork");
    if (pid == 0) {
        ::close(xcb_get_file_descriptor(watch.conn));
        ::execvp(argv[first], argv + first);
        std::fprintf(
            stderr, "orlune-firstpaint: cannot run %s: %s\n", argv[first], std::strerror(errno));
        ::_exit(127);
    }

    pollfd fd {xcb_get_file_descriptor(watch.conn), POLLIN, 0};
    while (watch.paintAt < 0) {
        const double left = startedAt + timeoutMs - nowMs();
        if (left <= 0 || ::waitpid(pid, nullptr, WNOHANG) == pid) {
            stop(pid);
            fail("the program showed no window");
        }
        ::poll(&fd, 1, int(left < 50 ? left : 50));
        while (xcb_generic_event_t *event = xcb_poll_for_event(watch.conn)) {
            watch.handle(event, nowMs());
            free(event);
        }
        if (xcb_connection_has_error(watch.conn))
            fail("the X connection broke");
    }

    const double cpu = processorMs(pid);
    ::usleep(useconds_t(settleMs) * 1000);
    const long rss = residentKib(pid);
    stop(pid);
    std::printf("first_paint_ms=%.2f expose_ms=%.2f map_ms=%.2f cpu_ms=%.2f rss_kib=%ld\n",
        watch.paintAt - startedAt, watch.exposeAt - startedAt, watch.mapAt - startedAt, cpu, rss);
    xcb_disconnect(watch.conn);
    return 0;
}
