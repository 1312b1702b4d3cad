// Types into a program's window from outside it and reports how long each keystroke took to
// reach the screen: from the key sent through the XTEST extension to the first change of the
// window's contents that follows, seen through the DAMAGE extension.
//
//   orlune-keylatency [--keys N] [--gap MS] [--save-every K] [--timeout MS] -- PROGRAM [ARGS...]
//
// Types N times the key "a" into the window's focused control (400 by default), one key every
// GAP milliseconds after the last one reached the screen (60 by default, a brisk typist). Every
// K-th keystroke (20 by default) is counted as a saving keystroke, the others as ordinary ones.
// Prints one line per kind: KIND keys=N median_ms=M p99_ms=P max_ms=X; the kind first-saving is
// the first saving keystroke alone, the first save of a year when the diary folder is empty.

#include "WindowWatch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <xcb/xtest.h>

namespace {

constexpr xcb_keysym_t kKeysymA = 0x61;

xcb_keycode_t keycodeOf(const WindowWatch &watch, xcb_keysym_t keysym)
{
    xcb_connection_t *conn = watch.connection();
    const xcb_setup_t *setup = xcb_get_setup(conn);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        conn, xcb_get_keyboard_mapping(conn, setup->min_keycode, uint8_t(count)), nullptr);
    if (!map)
        watch.fail("cannot read the keyboard mapping");
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t found = 0;
    for (int i = 0; i < count * map->keysyms_per_keycode && !found; ++i) {
        if (syms[i] == keysym)
            found = xcb_keycode_t(setup->min_keycode + i / map->keysyms_per_keycode);
    }
    free(map);
    if (!found)
        watch.fail("no key types \"a\"");
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
    WindowWatch watch("orlune-keylatency");
    if (first >= argc || keys < 1 || saveEvery < 1)
        watch.fail("usage: orlune-keylatency [--keys N] [--gap MS] [--save-every K] [--timeout MS] "
                   "-- PROGRAM [ARGS...]");
    xcb_connection_t *conn = watch.connection();
    const xcb_query_extension_reply_t *xtest = xcb_get_extension_data(conn, &xcb_test_id);
    if (!xtest || !xtest->present)
        watch.fail("the X server has no XTEST extension");
    const xcb_keycode_t key = keycodeOf(watch, kKeysymA);

    watch.start(argv + first);
    // Shown and painted, then quiet for a while: start-up is over.
    if (!watch.pump(WindowWatch::nowMs() + timeoutMs,
            [&] { return !watch.alive() || watch.firstPaintAt >= 0; })
        || !watch.alive())
        watch.fail("the program showed no window");
    xcb_set_input_focus(conn, XCB_INPUT_FOCUS_POINTER_ROOT, watch.window(), XCB_CURRENT_TIME);
    xcb_flush(conn);
    watch.pump(WindowWatch::nowMs() + 1500, [] { return false; });

    std::vector<double> ordinary, saving;
    for (int i = 1; i <= keys; ++i) {
        watch.painted = false;
        const double sentAt = WindowWatch::nowMs();
        xcb_test_fake_input(conn, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, watch.root(), 0, 0, 0);
        xcb_flush(conn);
        if (!watch.pump(sentAt + timeoutMs, [&] { return watch.painted; }))
            watch.fail("a keystroke never reached the screen");
        (i % saveEvery == 0 ? saving : ordinary).push_back(WindowWatch::nowMs() - sentAt);
        xcb_test_fake_input(conn, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, watch.root(), 0, 0, 0);
        xcb_flush(conn);
        watch.pump(WindowWatch::nowMs() + gapMs, [] { return false; });
    }
    watch.stop();
    report("ordinary", ordinary);
    report("saving", saving);
    if (!saving.empty())
        report("first-saving", {saving.front()});
    return 0;
}
