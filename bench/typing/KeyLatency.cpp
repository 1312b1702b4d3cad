// Types into a program's window from outside it and reports how long each keystroke took to
// reach the screen: from the key sent through the XTEST extension to the first change of the
// window's contents that follows, seen through the DAMAGE extension.
//
//   orlune-keylatency [--keys N] [--gap MS] [--save-every K] [--timeout MS] -- PROGRAM [ARGS...]
//
// Types N times the key "a" into the window's focused control (400 by default), one key every
// GAP milliseconds after the last one reached the screen (60 by default, a brisk typist). Every
// K-th keystroke (20 by default) is counted as a saving keystroke, the others as ordinary ones.
// Prints one line per kind: KIND keys=N median_ms=M p99_ms=P max_ms=X

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace {

constexpr xcb_keysym_t kKeysymA = 0x61;

double nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

[[noreturn]] void fail(const char *message)
{
    std::fprintf(stderr, "orlune-keylatency: %s\n", message);
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
    bool painted = false; // the window's contents changed since last cleared

    void follow(xcb_window_t window)
    {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn, window, XCB_CW_EVENT_MASK, &mask);
        xcb_damage_create(conn, xcb_generate_id(conn), window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
        xcb_flush(conn);
        candidates.insert(window);
    }

    void handle(xcb_generic_event_t *event)
    {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_create_notify_event_t *>(event);
            if (!e->override_redirect)
                follow(e->window);
        } else if (type == XCB_MAP_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_map_notify_event_t *>(event);
            if (main == XCB_NONE && !e->override_redirect && candidates.count(e->window))
                main = e->window;
        } else if (damageEvent && type == damageEvent + XCB_DAMAGE_NOTIFY) {
            const auto *e = reinterpret_cast<xcb_damage_notify_event_t *>(event);
            if (e->drawable == main)
                painted = true;
            xcb_damage_subtract(conn, e->damage, XCB_NONE, XCB_NONE);
            xcb_flush(conn);
        }
    }

    // Handles events until the deadline, or until done() holds; false when the deadline passed.
    template<typename Done> bool pump(double deadline, Done done)
    {
        pollfd fd {xcb_get_file_descriptor(conn), POLLIN, 0};
        for (;;) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(conn)) {
                handle(event);
                free(event);
            }
            if (xcb_connection_has_error(conn))
                fail("the X connection broke");
            if (done())
                return true;
            const double left = deadline - nowMs();
            if (left <= 0)
                return false;
            ::poll(&fd, 1, int(left < 1 ? 1 : left));
        }
    }
};

xcb_keycode_t keycodeOf(xcb_connection_t *conn, xcb_keysym_t keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(conn);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        conn, xcb_get_keyboard_mapping(conn, setup->min_keycode, uint8_t(count)), nullptr);
    if (!map)
        fail("cannot read the keyboard mapping");
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t found = 0;
    for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i) {
        if (syms[i] == keysym)
            found = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
    }
    free(map);
    if (!found)
        fail("no key types \"a\"");
    return found;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t at = size_t(p * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void report(const char *kind, const std::vector<double> &ms)
{
    if (ms.empty())
        return;
    std::printf("%s keys=%zu median_ms=%.2f p99_ms=%.2f max_ms=%.2f\n", kind, ms.size(),
        percentile(ms, 0.5), percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()));
}

} // namespace

int main(int argc, char *argv[])
{
    int keys = 400;
    int gapMs = 60;
    int saveEvery = 20;
    int timeoutMs = 30000;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string arg = argv[first];
        if (arg == "--keys" && first + 1 < argc)
            keys = std::atoi(argv[++first]);
        else if (arg == "--gap" && first + 1 < argc)
            gapMs = std::atoi(argv[++first]);
        else if (arg == "--save-every" && first + 1 < argc)
            saveEvery = std::atoi(argv[++first]);
        else if (arg == "--timeout" && first + 1 < argc)
            timeoutMs = std::atoi(argv[++first]);
        else if (arg == "--") {
            ++first;
            break;
        } else
            break;
    }
    if (first >= argc || keys < 1 || saveEvery < 1)
        fail("usage: orlune-keylatency [--keys N] [--gap MS] [--save-every K] [--timeout MS] -- "
             "PROGRAM [ARGS...]");

    Watch watch;
    int screenNumber = 0;
    watch.conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(watch.conn))
        fail("cannot connect to the X display");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(watch.conn));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(watch.conn, &xcb_damage_id);
    if (!damage || !damage->present)
        fail("the X server has no DAMAGE extension");
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(watch.conn, &xcb_test_id);
    if (!xtest || !xtest->present)
        fail("the X server has no XTEST extension");
    watch.damageEvent = damage->first_event;
    free(xcb_damage_query_version_reply(watch.conn,
        xcb_damage_query_version(watch.conn, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    const xcb_keycode_t key = keycodeOf(watch.conn, kKeysymA);

    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    if (xcb_generic_error_t *error = xcb_request_check(watch.conn,
            xcb_change_window_attributes_checked(watch.conn, root, XCB_CW_EVENT_MASK, &rootMask))) {
        free(error);
        fail("cannot watch the root window");
    }

    const pid_t pid = ::fork();
    if (pid < 0)
        fail("cannot fork");
    if (pid == 0) {
        ::close(xcb_get_file_descriptor(watch.conn));
        ::execvp(argv[first], argv + first);
        std::fprintf(
            stderr, "orlune-keylatency: cannot run %s: %s\n", argv[first], std::strerror(errno));
        ::_exit(127);
    }

    // Shown and painted, then quiet for a while: start-up is over.
    const auto alive = [pid] { return ::waitpid(pid, nullptr, WNOHANG) != pid; };
    if (!watch.pump(nowMs() + timeoutMs,
            [&] { return !alive() || (watch.main != XCB_NONE && watch.painted); })
        || !alive()) {
        stop(pid);
        fail("the program showed no window");
    }
    xcb_set_input_focus(watch.conn, XCB_INPUT_FOCUS_POINTER_ROOT, watch.main, XCB_CURRENT_TIME);
    xcb_flush(watch.conn);
    watch.pump(nowMs() + 1500, [] { return false; });

    std::vector<double> ordinary, saving;
    for (int i = 1; i <= keys; ++i) {
        watch.painted = false;
        const double sentAt = nowMs();
        xcb_test_fake_input(watch.conn, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(watch.conn);
        if (!watch.pump(sentAt + timeoutMs, [&] { return watch.painted; })) {
            stop(pid);
            fail("a keystroke never reached the screen");
        }
        (i % saveEvery == 0 ? saving : ordinary).push_back(nowMs() - sentAt);
        xcb_test_fake_input(watch.conn, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, root, 0, 0, 0);
        xcb_flush(watch.conn);
        watch.pump(nowMs() + gapMs, [] { return false; });
    }
    stop(pid);
    report("ordinary", ordinary);
    report("saving", saving);
    xcb_disconnect(watch.conn);
    return 0;
}
