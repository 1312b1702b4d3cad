#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <xcb/xcb.h>

// Watches, from outside, the first top-level window that a program started here puts on the X
// display, and every change of its contents (DAMAGE extension). Shared by the start-up and the
// typing measurements, so both see the program the same way.
class WindowWatch
{
public:
    // Connects to $DISPLAY and starts watching the root window; fails the tool on any error.
    explicit WindowWatch(std::string tool);
    ~WindowWatch();
    WindowWatch(const WindowWatch &) = delete;
    WindowWatch &operator=(const WindowWatch &) = delete;

    static double nowMs();
    [[noreturn]] void fail(const std::string &message) const;

    // Forks and execs argv[0] with argv; the child does not keep the X connection.
    pid_t start(char **argv);
    bool alive() const;
    // SIGTERM, then SIGKILL after ten seconds.
    void stop();

    // Handles events until done() holds (true) or the deadline passes (false).
    template<typename Done> bool pump(double deadline, Done done)
    {
        for (;;) {
            handlePending();
            if (done())
                return true;
            const double left = deadline - nowMs();
            if (left <= 0)
                return false;
            waitForEvents(left);
        }
    }

    xcb_connection_t *connection() const { return m_conn; }
    xcb_window_t root() const { return m_root; }
    xcb_window_t window() const { return m_main; }

    // Times from nowMs(), or -1 while not seen.
    double mapAt = -1;
    double exposeAt = -1;
    double firstPaintAt = -1;
    // The window's contents changed since this was last cleared.
    bool painted = false;

private:
    void follow(xcb_window_t window);
    void handle(xcb_generic_event_t *event, double at);
    void handlePending();
    void waitForEvents(double ms);

    std::string m_tool;
    xcb_connection_t *m_conn = nullptr;
    xcb_window_t m_root = XCB_NONE;
    uint8_t m_damageEvent = 0;
    std::set<xcb_window_t> m_candidates;
    xcb_window_t m_main = XCB_NONE;
    pid_t m_pid = -1;
};
