"""Drives the real Orlune executable from outside, as a person at a desktop would.

Everything goes through the X server and the file system: a private Xvfb (on a free display,
found with -displayfd), the openbox window manager, key and mouse events by XTest (xdotool),
the clipboard (xclip), signals by process id and the bytes on disk. Python 3's standard
library only.

    with Session() as s:                         # Xvfb + openbox, watchdog armed
        diary = s.path("diary")
        write_entry(diary, 2026, 12, 8, "日記\\n")
        app = s.start_orlune(diary=diary)        # copy of the program beside its Orlune.ini
        win = app.main_window()                  # waits until mapped; Window
        win.click_widget("memToday")             # client-area layout, see LAYOUT
        s.key("ctrl+a", "ctrl+c")
        assert s.clipboard() == "日記\\n"
        app.signal(signal.SIGTERM)
        assert app.wait_exit() == 0
        wait_for_bytes(entry_path(diary, 2026, 12, 8), b"...")
        s.screenshot("shot.png")

Session(watchdog=120)   the watchdog stops every process the session started (by PID) and ends
                        the test process when a test hangs; stop() (or leaving the with block)
                        stops them all.
s.path(*parts)          a path inside the session's own temporary folder.
s.env                   the environment for X clients (DISPLAY, HOME, XDG_* inside the folder).
s.run(args)             runs an X tool to its end (timeout), returns its stdout.
s.spawn(args, ...)      starts a process the session tracks and stops.
s.start_orlune(diary=..., chars_to_save=20, settings=None, env=None, name="app", preload=())
                        copies the executable (ORLUNE_EXECUTABLE) into a folder of its own
                        with Orlune.ini: settings=None writes [Data] Dir/NumberOfCharsToSave
                        (code page 932, CR LF), settings=b"..." writes those bytes, settings=False
                        writes no file (a first run). preload names shims (shim()) to preload.
                        The one place a program is started (UserDesktop's too). Returns an Orlune.
s.rescue_folder()       where a termination keeps an entry it could not save.
s.windows(name=None, pid=None)   visible top-level windows (ids) whose title matches name.
s.wait_window(name, pid=None, timeout=20, others_than=())   the first such window once mapped
                        (leaving out those given): Window.
s.wait_no_window(name_or_window, pid=None, timeout=10)
s.key(*keys)            xdotool key names ("ctrl+c", "alt+e", "Return") to the focused window.
s.type_text(text)       types text (ASCII; Japanese goes through the clipboard or an input method).
s.mouse_move(x, y) / s.click(x, y, button=1)   root coordinates.
s.clipboard(selection="clipboard", timeout=5)  the text offered, or None when nobody owns it.
s.wait_clipboard(text, timeout=10)   waits until the clipboard offers exactly text.
s.wait_until_clipboard_changes(old)  waits until it offers something else; returns it.
s.set_clipboard(text)   owns the clipboard with text (an xclip process, stopped by PID).
s.grab(x, y, w, h, kind)   a rectangle of the screen as "rgb" or "ppm" bytes, or into a file
                        path (a PNG); the one place the screen is read.
s.screenshot(path, window=None)   the whole screen (or one window) as a PNG.
s.tooltip_windows(), s.menu_windows(), s.wait_menu(), s.wait_no_menu()
                        mapped tooltips and pop-up menus.
s.read(path), s.wait_for_bytes(path, expected, timeout)   the same as the functions below.
s.darkest(x, y, w, h)   darkest grey level (0..1) of a screen rectangle: enabled text is black.
s.tones(x, y, w, h)     (darkest grey, brightest grey, highest saturation) of a rectangle.
s.popup_windows(), s.active_window(), s.mouse_location(), s.mouse_down(), s.mouse_up()

Orlune: .pid, .folder, .exe, .settings_path, .main_window(timeout), .window(name, timeout),
        .signal(sig),
        .wait_exit(timeout) -> exit code, .running(), .stop(), .output() (stdout+stderr so far).
menu_item_point(menu, item), menu_item_enabled(popup, menu, item)   see MENU_ITEMS.
Window: .id, .geometry() -> (x, y, width, height) of the client on the root, .frame_geometry(),
        .menu_bar_height(), .activate(), .click(x, y), .client_click(x, y), .move_to(x, y),
        .click_day(date) on the calendar (showing that month), .pixels(widget) of a widget,
        .click_widget(name, dx=None, dy=None), .move_to_widget(name, ...), .title(),
        .open_menu(menu) -> the open menu's Window, .tool_enabled(button),
        .net_wm_state(), .size_hints()
wait_until(predicate, timeout, what)   polls until predicate() is truthy; returns its value.
today()                 the date the program opens on (same time zone as the test).
write_entry(diary, y, m, d, text), entry_path(diary, y, m, d), diary_bytes(text) (code page
932, CR LF), read_bytes(path), wait_for_bytes(path, expected, timeout),
day_files(diary, date) -> {name: bytes} of the day's entry and the copies kept beside it,
temporaries(diary, date) -> the names of the day's temporary files.
shim(target)            the path of a preloadable library the build made (orlune_failflush,
                        orlune_slowflush), from the environment CTest gives.
OrluneTestCase          a unittest.TestCase with a fresh Session in self.s and an empty diary
                        folder in self.diary; self.pane_text(win) copies what memToday shows;
                        self.answer_box(app, win) answers the next box beside the main window;
                        self.shoot(label) keeps a screenshot in
                        $ORLUNE_E2E_SHOTS, and a failing test leaves one there by itself and
                        prints the output of every Orlune it started (s.programs).
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

# The main window's client area (below the menu bar) has a fixed layout: name -> x, y, w, h.
LAYOUT = {
    "ToolBar1": (0, 0, 792, 29),
    "btnPreMonth": (24, 40, 57, 33),
    "cmbYearMonth": (88, 40, 105, 27),
    "btnNextMonth": (200, 40, 57, 33),
    "Calendar1": (16, 80, 249, 217),
    "memToday": (272, 64, 249, 233),
    "mem1YearAgo": (528, 64, 249, 233),
    "mem2YearsAgo": (16, 336, 249, 233),
    "mem3YearsAgo": (272, 336, 249, 233),
    "mem4YearsAgo": (528, 336, 249, 233),
}
# Toolbar buttons (centres in the client area) and the menu bar's titles (centres in the window).
for _name, _x in (("tbtnExit", 15), ("tbtnSaveAs", 39), ("tbtnPrintSetup", 63),
                  ("tbtnEditCut", 96), ("tbtnEditCopy", 120), ("tbtnEditPaste", 144),
                  ("tbtnSettings", 177), ("tbtnVersion", 210)):
    LAYOUT[_name] = (_x - 5, 9, 10, 10)
MENU_BAR = {"File1": (36, 9), "Edit1": (99, 9), "Help2": (158, 9)}
# Rows of each menu: item name -> centre y inside the open menu (None for a separator).
MENU_ITEMS = {
    "File1": ["Save1", "Print1", None, "Exit1"],
    "Edit1": ["Cut1", "Copy1", "Paste1", None, "EditStteings1"],
    "Help2": ["About1"],
}
CLIENT_SIZE = (792, 594)
MAIN_TITLE = "Orlune"
SETTINGS_TITLE = "設定処理"

_POLL = 0.05


def wait_until(predicate, timeout, what):
    """Polls predicate until it returns something truthy; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(_POLL)


def today():
    """Today's date where the program runs (the session's TZ)."""
    import datetime
    return datetime.date.today()


def entry_path(diary, year, month, day):
    return os.path.join(diary, "%d" % year, "%02d%02d.txt" % (month, day))


def diary_bytes(text):
    """A text as the program stores it: code page 932, CR LF."""
    return text.replace("\r\n", "\n").replace("\n", "\r\n").encode("cp932")


def write_entry(diary, year, month, day, text):
    path = entry_path(diary, year, month, day)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text if isinstance(text, bytes) else diary_bytes(text))
    return path


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def wait_for_bytes(path, expected, timeout=10):
    """Waits until the file holds exactly expected; the failure shows what it held."""
    try:
        return wait_until(lambda: read_bytes(path) == expected, timeout, "bytes of " + path)
    except AssertionError as e:
        raise AssertionError("%s: held %r, expected %r" % (e, read_bytes(path), expected))


def day_files(diary, date):
    """The day's entry and every copy kept beside it (name -> bytes); no temporaries."""
    stem = "%02d%02d." % (date.month, date.day)
    folder = os.path.join(diary, "%d" % date.year)
    found = {}
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else ():
        if name.startswith(stem) and name.endswith(".txt"):
            found[name] = read_bytes(os.path.join(folder, name))
    return found


def temporaries(diary, date):
    """The names of the day's temporary files (".MMDD.txt.XXXXXX.tmp")."""
    prefix = ".%02d%02d.txt." % (date.month, date.day)
    folder = os.path.join(diary, "%d" % date.year)
    return sorted(n for n in (os.listdir(folder) if os.path.isdir(folder) else ())
                  if n.startswith(prefix) and n.endswith(".tmp"))


def shim(target):
    """A preloadable library of the build, named by its CMake target; CTest gives its path."""
    path = os.environ.get(target.upper())
    if not path or not os.path.isfile(path):
        raise RuntimeError("%s must name the built %s library" % (target.upper(), target))
    return path


def calendar_day_point(year, month, day):
    """The centre of a day's cell in the calendar (weeks from Sunday), in its own terms: the
    month's first day falls in the first week row unless that is a Sunday, which starts the
    second (the grid's fixed layout: a 2-pixel frame, 34 x 29 cells, 1-pixel lines)."""
    import datetime
    first = (datetime.date(year, month, 1).isoweekday() % 7 + 1) % 7
    offset = -5 if first == 0 else 2 - first
    cell = day - offset
    col, row = cell % 7, cell // 7 + 1
    return 2 + col * 35 + 17, 2 + row * 30 + 14


def settings_text(diary, chars_to_save=20):
    """The settings file naming a diary folder and an autosave interval, as the program reads it."""
    return ("[Data]\r\nDir=%s\r\nNumberOfCharsToSave=%d\r\n"
            % (diary, chars_to_save)).encode("cp932")


def orlune_executable():
    exe = os.environ.get("ORLUNE_EXECUTABLE")
    if not exe or not os.path.isfile(exe):
        raise RuntimeError("ORLUNE_EXECUTABLE must name the built Orlune executable")
    return exe


class Window:
    """A top-level X window; coordinates are relative to its client (inside the frame)."""

    def __init__(self, session, wid):
        self.session = session
        self.id = int(wid)

    def __repr__(self):
        return "Window(0x%x)" % self.id

    def _info(self):
        return self.session.run(["xwininfo", "-id", str(self.id)])

    def geometry(self):
        info = self._info()

        def field(label):
            return int(re.search(label + r":\s+(-?\d+)", info).group(1))

        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"))

    def frame_geometry(self):
        """The window manager's frame around the client: x, y, width, height on the root."""
        x, y, w, h = self.geometry()
        out = self.prop("_NET_FRAME_EXTENTS")
        m = re.search(r"=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", out)
        left, right, top, bottom = (int(v) for v in m.groups()) if m else (0, 0, 0, 0)
        return x - left, y - top, w + left + right, h + top + bottom

    def title(self):
        return self.session.run(["xdotool", "getwindowname", str(self.id)]).rstrip("\n")

    def prop(self, name):
        return self.session.run(["xprop", "-id", str(self.id), name])

    def net_wm_state(self):
        return self.prop("_NET_WM_STATE")

    def size_hints(self):
        return self.prop("WM_NORMAL_HINTS")

    def menu_bar_height(self):
        return self.geometry()[3] - CLIENT_SIZE[1]

    def move_to(self, x, y):
        """Moves the window (its frame) to x, y on the root."""
        self.session.run(["xdotool", "windowmove", "--sync", str(self.id), str(x), str(y)])

    def activate(self):
        self.session.run(["xdotool", "windowactivate", "--sync", str(self.id)])
        wait_until(lambda: self.session.active_window() == self.id, 5,
                   "window 0x%x to be active" % self.id)

    def root_point(self, x, y):
        gx, gy, _, _ = self.geometry()
        return gx + x, gy + y

    def click(self, x, y, button=1):
        self.session.click(*self.root_point(x, y), button=button)

    def move(self, x, y):
        self.session.mouse_move(*self.root_point(x, y))

    def client_point(self, x, y):
        """A point of the main window's client area (below the menu bar) in window terms."""
        return x, y + self.menu_bar_height()

    def client_click(self, x, y, button=1):
        self.click(*self.client_point(x, y), button=button)

    def widget_point(self, name, dx=None, dy=None):
        x, y, w, h = LAYOUT[name]
        return self.client_point(x + (w // 2 if dx is None else dx),
                                 y + (h // 2 if dy is None else dy))

    def click_widget(self, name, dx=None, dy=None, button=1):
        self.click(*self.widget_point(name, dx, dy), button=button)

    def move_to_widget(self, name, dx=None, dy=None):
        self.move(*self.widget_point(name, dx, dy))

    def click_day(self, date):
        """Clicks a day of the month the calendar shows."""
        self.click_widget("Calendar1", *calendar_day_point(date.year, date.month, date.day))

    def pixels(self, name):
        """A widget of the main window as raw RGB bytes, to tell whether it changed."""
        x, y = self.root_point(*self.widget_point(name, 0, 0))
        width, height = LAYOUT[name][2:]
        return self.session.grab(x, y, width, height, "rgb")

    def open_menu(self, menu):
        """Opens a menu of the menu bar by mouse; returns the open menu's Window."""
        self.click(*MENU_BAR[menu])
        return self.session.wait_menu()

    def tool_enabled(self, button):
        """Whether a toolbar button's icon is drawn in colour rather than greyed."""
        x, y = self.root_point(*self.widget_point(button))
        shot = self.session.grab(x - 8, y - 8, 16, 16, self.session.path("tool.png"))
        out = self.session.run(["convert", shot, "-colorspace", "HSL", "-channel", "G",
                                "-separate", "-format", "%[fx:maxima]", "info:"])
        return float(out) > 0.25


def menu_item_point(menu, item):
    """The centre of a menu item inside its open menu (x, y)."""
    y = 10
    for row in MENU_ITEMS[menu]:
        if row == item:
            return 60, y
        y += 21 if row else 3
    raise KeyError(item)


def menu_item_enabled(popup, menu, item):
    """Whether the item of the open menu is drawn enabled rather than greyed: black text, or
    white text on the highlight (greyed text is neither black nor white)."""
    x, y = menu_item_point(menu, item)
    gx, gy, _, _ = popup.geometry()
    darkest, brightest, colour = popup.session.tones(gx + 20, gy + y - 7, 100, 14)
    return darkest < 0.3 or (colour > 0.4 and brightest > 0.95)


class Orlune:
    """One running copy of the program."""

    def __init__(self, session, folder, exe, process):
        self.session = session
        self.folder = folder
        self.exe = exe
        self.settings_path = os.path.join(folder, "Orlune.ini")
        self.process = process
        self.pid = process.pid
        self._log = os.path.join(folder, "output.log")

    def running(self):
        return self.process.poll() is None

    def signal(self, sig):
        os.kill(self.pid, sig)

    def wait_exit(self, timeout=15):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("Orlune (pid %d) still running after %d s" % (self.pid, timeout))

    def stop(self):
        self.session._stop(self.process)

    def output(self):
        return read_bytes(self._log).decode("utf-8", "replace")

    def main_window(self, timeout=30):
        return self.session.wait_window("^%s$" % MAIN_TITLE, pid=self.pid, timeout=timeout)

    def window(self, name, timeout=20):
        return self.session.wait_window(name, pid=self.pid, timeout=timeout)


class Session:
    """A private X display with a window manager; everything it starts is stopped by PID."""

    def __init__(self, screen="1280x1024x24", window_manager=True, watchdog=120):
        self._processes = []
        self.programs = []
        self._clipboard_owner = None
        self.root = tempfile.mkdtemp(prefix="orlune-e2e-")
        self._watchdog = threading.Timer(watchdog, self._expire)
        self._watchdog.daemon = True
        self._watchdog.start()
        try:
            home = self.path("home")
            runtime = self.path("runtime")
            for folder in (home, runtime):
                os.makedirs(folder, mode=0o700)
            self.env = {
                "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
                "HOME": home,
                "XDG_RUNTIME_DIR": runtime,
                "XDG_CONFIG_HOME": os.path.join(home, ".config"),
                "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
                "XDG_CACHE_HOME": os.path.join(home, ".cache"),
                "LANG": "ja_JP.UTF-8",
                "LC_ALL": "ja_JP.UTF-8",
                # No session bus, no accessibility bridge: nothing leaves this display.
                "NO_AT_BRIDGE": "1",
                "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "0",
            }
            # The same time zone as the test, so both agree on today.
            for name in ("TZ", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
                if name in os.environ:
                    self.env[name] = os.environ[name]
            self._start_x(screen)
            if window_manager:
                self._start_window_manager()
        except BaseException:
            self.stop()
            raise

    # -- life cycle -------------------------------------------------------------------------

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def _expire(self):
        sys.stderr.write("watchdog: the test took too long; stopping what it started\n")
        sys.stderr.flush()
        for p in reversed(self._processes):
            self._kill(p)
        os._exit(124)

    @staticmethod
    def _kill(process):
        if process.poll() is None:
            try:
                process.kill()
            except OSError:
                pass
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            pass

    def _stop(self, process, grace=5):
        if process.poll() is None:
            try:
                process.terminate()
                process.wait(grace)
            except subprocess.TimeoutExpired:
                self._kill(process)
            except OSError:
                pass

    def stop(self):
        """Stops every process the session started, newest first, each by its PID."""
        for p in reversed(self._processes):
            self._stop(p)
        self._processes.clear()
        self._watchdog.cancel()
        shutil.rmtree(self.root, ignore_errors=True)

    def spawn(self, args, env=None, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
              stdin=subprocess.DEVNULL, **kwargs):
        """Starts a process the session stops at its end: every process a test starts comes
        through here."""
        full_env = dict(self.env)
        if env:
            full_env.update(env)
        p = subprocess.Popen(args, env=full_env, stdin=stdin, stdout=stdout,
                             stderr=stderr, **kwargs)
        self._processes.append(p)
        return p

    def run(self, args, timeout=10, check=True, input=None):
        r = subprocess.run(args, env=self.env, input=input, capture_output=True,
                           timeout=timeout)
        if check and r.returncode != 0:
            raise AssertionError("%s failed (%d): %s" % (" ".join(args), r.returncode,
                                                         r.stderr.decode(errors="replace")))
        return r.stdout.decode("utf-8", "replace")

    def _start_x(self, screen):
        read_end, write_end = os.pipe()
        try:
            self._xvfb = self.spawn(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten",
                 "tcp", "-noreset"], pass_fds=(write_end,))
            os.close(write_end)
            write_end = -1
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self._xvfb.poll() is not None:
                    raise RuntimeError("Xvfb did not start")
                chunk = os.read(read_end, 16)
                if not chunk:
                    raise RuntimeError("Xvfb closed its display pipe")
                number += chunk
        finally:
            os.close(read_end)
            if write_end >= 0:
                os.close(write_end)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display

    def _start_window_manager(self):
        self._wm = self.spawn(["openbox", "--sm-disable"])

        def managed():
            out = self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], check=False)
            return "window id" in out

        wait_until(managed, 15, "openbox to manage the screen")

    # -- windows ----------------------------------------------------------------------------

    def windows(self, name=None, pid=None):
        args = ["xdotool", "search", "--all", "--onlyvisible"]
        if pid is not None:
            args += ["--pid", str(pid)]
        args += ["--name", name or "."]
        out = self.run(args, check=False)
        return [int(w) for w in out.split()]

    def wait_window(self, name, pid=None, timeout=20, others_than=()):
        """The first window named so once mapped, leaving out the windows in others_than."""
        known = {w.id if isinstance(w, Window) else int(w) for w in others_than}
        ids = wait_until(lambda: [w for w in self.windows(name, pid) if w not in known],
                         timeout, "a window named %r" % name)
        return Window(self, ids[0])

    def wait_no_window(self, name, pid=None, timeout=10):
        """Waits until no window of that name is mapped; name may also be a Window."""
        if isinstance(name, Window):
            wid = name.id
            wait_until(lambda: wid not in self.windows(None, pid), timeout,
                       "window 0x%x to close" % wid)
            return
        wait_until(lambda: not self.windows(name, pid), timeout, "no window named %r" % name)

    def active_window(self):
        out = self.run(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out else None

    def popup_windows(self):
        """Mapped override-redirect windows (menus, drop-down lists, tooltips), topmost last."""
        found = []
        tree = self.run(["xwininfo", "-root", "-children"])
        for line in tree.splitlines():
            m = re.match(r"^\s+(0x[0-9a-f]+).*\s(\d+)x(\d+)[+-]", line)
            if not m or int(m.group(2)) <= 3 or int(m.group(3)) <= 3:
                continue
            state = self.run(["xwininfo", "-id", m.group(1)], check=False)
            if "IsViewable" in state and "Override Redirect State: yes" in state:
                found.append(int(m.group(1), 16))
        return found

    def tooltip_windows(self):
        """Mapped tooltips."""
        return [w for w in self.popup_windows() if self._is_tooltip(w)]

    def menu_windows(self):
        """Mapped pop-up menus (of the menu bar or a drop-down list). Qt marks a menu's window
        type only the first time it opens, so any pop-up that is not a tooltip counts."""
        return [w for w in self.popup_windows() if not self._is_tooltip(w)]

    def _is_tooltip(self, wid):
        kind = self.run(["xprop", "-id", str(wid), "_NET_WM_WINDOW_TYPE"], check=False)
        return "_NET_WM_WINDOW_TYPE_TOOLTIP" in kind

    def wait_menu(self, timeout=10):
        return Window(self, wait_until(self.menu_windows, timeout, "a menu to open")[0])

    def wait_no_menu(self, timeout=10):
        wait_until(lambda: not self.menu_windows(), timeout, "the menu to close")

    # -- input ------------------------------------------------------------------------------

    def key(self, *keys):
        self.run(["xdotool", "key", "--clearmodifiers", "--delay", "40"] + list(keys))

    def type_text(self, text):
        self.run(["xdotool", "type", "--delay", "40", text], timeout=max(10, len(text)))

    def mouse_location(self):
        out = self.run(["xdotool", "getmouselocation"])
        return tuple(int(v) for v in re.search(r"x:(-?\d+) y:(-?\d+)", out).groups())

    def mouse_move(self, x, y):
        # Not --sync: it waits for a motion that never comes when the pointer is there already.
        self.run(["xdotool", "mousemove", str(x), str(y)])
        wait_until(lambda: self.mouse_location() == (x, y), 5, "the pointer at %d,%d" % (x, y))

    def click(self, x, y, button=1):
        self.mouse_move(x, y)
        self.run(["xdotool", "click", str(button)])

    def mouse_down(self, button=1):
        self.run(["xdotool", "mousedown", str(button)])

    def mouse_up(self, button=1):
        self.run(["xdotool", "mouseup", str(button)])

    # -- clipboard --------------------------------------------------------------------------

    def clipboard(self, selection="clipboard", timeout=5):
        r = subprocess.run(["xclip", "-selection", selection, "-o"], env=self.env,
                           capture_output=True, timeout=timeout)
        if r.returncode != 0:
            return None
        return r.stdout.decode("utf-8", "replace")

    def wait_clipboard(self, text, selection="clipboard", timeout=10):
        try:
            wait_until(lambda: self.clipboard(selection) == text, timeout, "the clipboard")
        except AssertionError as e:
            raise AssertionError("%s: held %r, expected %r" % (e, self.clipboard(selection), text))

    def wait_until_clipboard_changes(self, old, selection="clipboard", timeout=10):
        """Waits until the clipboard offers something other than old; returns it."""
        return wait_until(lambda: (lambda now: now if now not in (None, old) else None)(
            self.clipboard(selection)), timeout, "the clipboard to change")

    def set_clipboard(self, text, selection="clipboard"):
        if self._clipboard_owner is not None:
            self._stop(self._clipboard_owner)
        # -quiet keeps xclip in the foreground, so it is ours to stop.
        owner = self.spawn(["xclip", "-selection", selection, "-i", "-quiet"],
                           stdin=subprocess.PIPE)
        owner.stdin.write(text.encode("utf-8"))
        owner.stdin.close()
        self._clipboard_owner = owner
        wait_until(lambda: self.clipboard(selection) == text, 5, "the clipboard to hold the text")

    # -- pictures ---------------------------------------------------------------------------

    def _import(self, target, crop, output):
        args = ["import", "-window", target]
        if crop:
            args += ["-crop", "%dx%d+%d+%d" % crop, "+repage", "-depth", "8"]
        r = subprocess.run(args + [output], env=self.env, capture_output=True, timeout=30)
        if r.returncode != 0:
            raise AssertionError("import failed (%d): %s" % (r.returncode,
                                                           r.stderr.decode(errors="replace")))
        return r.stdout

    def grab(self, x, y, width, height, kind):
        """A rectangle of the screen: kind "rgb" or "ppm" gives its bytes, a path (a PNG file)
        gives that path."""
        if kind in ("rgb", "ppm"):
            return self._import("root", (width, height, x, y), kind + ":-")
        self._import("root", (width, height, x, y), kind)
        return kind

    def screenshot(self, path, window=None):
        target = "root" if window is None else str(window.id if isinstance(window, Window)
                                                   else window)
        self._import(target, None, path)
        return path

    def tones(self, x, y, width, height):
        """(darkest grey, brightest grey, highest saturation), each 0..1, of a screen
        rectangle."""
        shot = self.grab(x, y, width, height, self.path("tones.png"))
        grey = self.run(["convert", shot, "-colorspace", "Gray", "-format",
                         "%[fx:minima] %[fx:maxima]", "info:"]).split()
        colour = self.run(["convert", shot, "-colorspace", "HSL", "-channel", "G", "-separate",
                           "-format", "%[fx:maxima]", "info:"])
        return float(grey[0]), float(grey[1]), float(colour)

    def darkest(self, x, y, width, height):
        """The darkest grey level (0 black .. 1 white) in a rectangle of the screen: text drawn
        enabled is black, greyed text is not."""
        shot = self.grab(x, y, width, height, self.path("darkest.png"))
        out = self.run(["convert", shot, "-colorspace", "Gray", "-format", "%[fx:minima]",
                        "info:"])
        return float(out)

    # -- files ------------------------------------------------------------------------------

    @staticmethod
    def read(path):
        return read_bytes(path)

    @staticmethod
    def wait_for_bytes(path, expected, timeout=10):
        return wait_for_bytes(path, expected, timeout)

    # -- the program ------------------------------------------------------------------------

    def rescue_folder(self):
        return os.path.join(self.env["XDG_DATA_HOME"], "orlune", "rescue")

    def start_orlune(self, diary=None, chars_to_save=20, settings=None, env=None, name="app",
                     preload=(), folder=None, spawn=None, prepare=None):
        """Starts a copy of the program beside its settings file. folder (default: name in the
        session's folder), spawn (default: the session's) and prepare (called once the folder
        is laid out, before the start) let a desktop user's side start it its own way."""
        folder = folder or self.path(name)
        os.makedirs(folder)
        exe = os.path.join(folder, "Orlune")
        shutil.copy2(orlune_executable(), exe)
        # The printer set-up command loads its module from the program's folder.
        module = os.path.join(os.path.dirname(orlune_executable()), "printsetup.so")
        if os.path.exists(module):
            shutil.copy2(module, os.path.join(folder, "printsetup.so"))
        if settings is None:
            settings = settings_text(diary or "", chars_to_save)
        if settings is not False:
            with open(os.path.join(folder, "Orlune.ini"), "wb") as f:
                f.write(settings)
        env = dict(env or {})
        if preload:
            env["LD_PRELOAD"] = " ".join(preload)
            # The shims are not sanitized and load before the sanitizers' runtime.
            env["ASAN_OPTIONS"] = (self.env.get("ASAN_OPTIONS", "") + ":verify_asan_link_order=0"
                                   ).lstrip(":")
        if prepare:
            prepare()
        log = open(os.path.join(folder, "output.log"), "wb")
        try:
            process = (spawn or self.spawn)([exe], env=env, stdout=log,
                                            stderr=subprocess.STDOUT, cwd=folder)
        finally:
            log.close()
        program = Orlune(self, folder, exe, process)
        self.programs.append(program)
        return program


class OrluneTestCase(unittest.TestCase):
    """A test with a fresh Session in self.s; a failing test leaves a screenshot in
    $ORLUNE_E2E_SHOTS (when set) named after the test."""

    watchdog = 120
    screen = "1280x1024x24"

    def setUp(self):
        self.s = Session(screen=self.screen, watchdog=self.watchdog)
        self.addCleanup(self.s.stop)
        self.addCleanup(self._shoot_on_failure)
        self.diary = self.s.path("diary")
        os.makedirs(self.diary)
        self.day = today()

    def start_main(self, **options):
        """Starts Orlune on self.diary (options as start_orlune's) and activates its main
        window: self.app and self.win."""
        self.app = self.s.start_orlune(diary=self.diary, **options)
        self.win = self.app.main_window()
        self.win.activate()

    def pane_text(self, win=None):
        """What the editable pane shows, copied by the person (the focus goes there)."""
        win = win or self.win
        win.activate()
        win.click_widget("memToday")
        self.s.set_clipboard("(nothing copied)")
        self.s.key("ctrl+a", "ctrl+c")
        try:
            text = self.s.wait_until_clipboard_changes("(nothing copied)", timeout=3)
        except AssertionError:
            text = ""  # an empty pane copies nothing
        self.s.key("ctrl+End")
        return text.replace("\r\n", "\n")

    def answer_box(self, app=None, win=None, timeout=20):
        """Waits for a box of the program beside its main window, keeps a picture of it and
        answers it with Return; returns its title."""
        app, win = app or self.app, win or self.win
        box = wait_until(lambda: [w for w in self.s.windows(None, app.pid) if w != win.id]
                         or (not app.running() and "ended"), timeout, "a box of pid %d" % app.pid)
        if box == "ended":
            raise AssertionError("pid %d ended instead of showing a box" % app.pid)
        box = Window(self.s, box[0])
        title = box.title()
        self.shoot("box-%d" % box.id)
        box.activate()
        self.s.key("Return")
        self.s.wait_no_window(box)
        return title

    def boxes(self, app=None, win=None):
        """The boxes the program shows beside its main window."""
        app, win = app or self.app, win or self.win
        return [Window(self.s, w) for w in self.s.windows(None, app.pid) if w != win.id]

    def _shoot_on_failure(self):
        result = getattr(getattr(self, "_outcome", None), "result", None)
        failed = result is not None and any(
            test is self for test, _ in result.failures + result.errors)
        if failed:
            for program in self.s.programs:
                sys.stderr.write("--- output of Orlune (pid %d, %s, exit %s):\n%s\n" % (
                    program.pid, program.folder, program.process.poll(), program.output()))
            try:
                self.shoot("failure")
            except Exception:
                pass

    def shoot(self, label):
        """A screenshot kept in $ORLUNE_E2E_SHOTS, for a person to look at."""
        folder = os.environ.get("ORLUNE_E2E_SHOTS")
        if not folder:
            return None
        os.makedirs(folder, exist_ok=True)
        return self.s.screenshot(os.path.join(folder, "%s-%s.png" % (self.id(), label)))
