#include "WindowWatch.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <xcb/damage.h>

WindowWatch::WindowWatch(std::string tool) : m_tool(std::move(tool))
{
    int screenNumber = 0;
    m_conn = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_conn))
        fail("cannot connect to the X display");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;

    const xcb_query_extension_reply_t *damage = xcb_get_extension_data(m_conn, &xcb_damage_id);
    if (!damage || !damage->present)
        fail("the X server has no DAMAGE extension");
    m_damageEvent = damage->first_event;
    free(xcb_damage_query_version_reply(m_conn,
        xcb_damage_query_version(m_conn, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));

    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    // Checked, so the server has taken the mask before the program starts.
    if (xcb_generic_error_t *error = xcb_request_check(m_conn,
            xcb_change_window_attributes_checked(m_conn, m_root, XCB_CW_EVENT_MASK, &rootMask))) {
        free(error);
        fail("cannot watch the root window");
    }
}

WindowWatch::~WindowWatch()
{
    if (m_pid > 0)
        stop();
    xcb_disconnect(m_conn);
}

double WindowWatch::nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

void WindowWatch::fail(const std::string &message) const
{
    std::fprintf(stderr, "%s: %s\n", m_tool.c_str(), message.c_str());
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::exit(2);
}

pid_t WindowWatch::start(char **argv)
{
    m_pid = ::fork();
    if (m_pid < 0)
        fail("cannot fork");
    if (m_pid == 0) {
        ::close(xcb_get_file_descriptor(m_conn));
        ::execvp(argv[0], argv);
        std::fprintf(
            stderr, "%s: cannot run %s: %s\n", m_tool.c_str(), argv[0], std::strerror(errno));
        ::_exit(127);
    }
    return m_pid;
}

bool WindowWatch::alive() const
{
    return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) != m_pid;
}

void WindowWatch::stop()
{
    const pid_t pid = std::exchange(m_pid, -1);
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 1000; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

void WindowWatch::follow(xcb_window_t window)
{
    const uint32_t mask = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, window, XCB_CW_EVENT_MASK, &mask);
    xcb_damage_create(m_conn, xcb_generate_id(m_conn), window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
    xcb_flush(m_conn);
    m_candidates.insert(window);
}

void WindowWatch::handle(xcb_generic_event_t *event, double at)
{
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_CREATE_NOTIFY) {
        const auto *e = reinterpret_cast<xcb_create_notify_event_t *>(event);
        if (!e->override_redirect)
            follow(e->window);
    } else if (type == XCB_MAP_NOTIFY) {
        const auto *e = reinterpret_cast<xcb_map_notify_event_t *>(event);
        if (m_main == XCB_NONE && !e->override_redirect && m_candidates.count(e->window)) {
            m_main = e->window;
            mapAt = at;
        }
    } else if (type == XCB_EXPOSE) {
        const auto *e = reinterpret_cast<xcb_expose_event_t *>(event);
        if (e->window == m_main && exposeAt < 0)
            exposeAt = at;
    } else if (m_damageEvent && type == m_damageEvent + XCB_DAMAGE_NOTIFY) {
        const auto *e = reinterpret_cast<xcb_damage_notify_event_t *>(event);
        if (e->drawable == m_main) {
            painted = true;
            if (mapAt >= 0 && firstPaintAt < 0)
                firstPaintAt = at;
        }
        xcb_damage_subtract(m_conn, e->damage, XCB_NONE, XCB_NONE);
        xcb_flush(m_conn);
    }
}

void WindowWatch::handlePending()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_conn)) {
        handle(event, nowMs());
        free(event);
    }
    if (xcb_connection_has_error(m_conn))
        fail("the X connection broke");
}

void WindowWatch::waitForEvents(double ms)
{
    pollfd fd {xcb_get_file_descriptor(m_conn), POLLIN, 0};
    ::poll(&fd, 1, int(ms < 1 ? 1 : ms));
}
