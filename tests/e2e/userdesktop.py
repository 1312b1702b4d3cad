"""A desktop user's own processes beside a harness Session: a private D-Bus session bus, an input
method (fcitx5 with Mozc) and the program, all run as an unprivileged user.

Mozc's server exits at once when run as root, and sway refuses root, so when the tests run as
root (as CI does) these processes run as the user "orlune-e2e", created here when missing; run
as anyone else, they run as that user. The test itself stays root and reads what they write.

    with Session() as s:
        user = UserDesktop(s)                    # folder, home and bus of the user
        im = Fcitx(user)                         # fcitx5 with keyboard-us, then mozc
        app = user.start_orlune(diary=..., env=im.client_env())
        ...
        im.switch_on()                           # Ctrl+Space, then waits until Mozc is on

UserDesktop(session, bus=True)  .env (HOME, XDG_* of the user; DBUS_SESSION_BUS_ADDRESS),
                        .path(*parts), .spawn(args, env=None, ...) as the user,
                        .run(args) as the user, to its end, .own(path) gives a path to the user,
                        .start_orlune(diary, chars_to_save=20, env=None, name="app") -> Orlune.
Fcitx(user)             .state() -> "inactive"/"active"/None, .switch_on(),
                        .candidate_window() -> (x, y, width, height) or None, .client_env().
IBus(user)              ibus-daemon with Mozc, on in hiragana: .client_env(),
                        .switch_to_mozc() once a field has the focus.
Sway(user)              headless sway as the user, with no X display: .env for its clients
                        (the user's, with WAYLAND_DISPLAY and SWAYSOCK, DISPLAY empty),
                        .tree_node(pid) -> the window's node of `swaymsg -t get_tree`,
                        .msg(*command), .type_text(text) by wtype.
read_screen(session, x, y, width, height) -> Screen: .grey(x, y), .is_blue(x, y) in root
                        coordinates.
diary_entries(diary, temporaries=False) -> {path under the diary: bytes} of every file in it,
                        a save's temporary only when asked for.
"""

import glob
import json
import os
import pwd
import re
import signal
import subprocess

from harness import Window, wait_until

USER = "orlune-e2e"

_BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%s</listen>
  <auth>EXTERNAL</auth>
  <!-- No service folders: nothing is started on the bus's behalf that the test cannot stop. -->
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

# fcitx5's profile: direct typing first, Mozc second, so Ctrl+Space switches Mozc on.
_FCITX_PROFILE = """[Groups/0]
Name=Default
Default Layout=us
DefaultIM=mozc

[Groups/0/Items/0]
Name=keyboard-us
Layout=

[Groups/0/Items/1]
Name=mozc
Layout=

[GroupOrder]
0=Default
"""


def desktop_user():
    """(uid, gid) to run the desktop's processes as, creating the user when root needs one."""
    if os.geteuid() != 0:
        return os.getuid(), os.getgid()

    def known():
        try:
            entry = pwd.getpwnam(USER)
            return entry.pw_uid, entry.pw_gid
        except KeyError:
            return None

    def created():
        # Tests running side by side may create it at the same moment; either one wins.
        subprocess.run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                        "--shell", "/usr/sbin/nologin", USER],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        return known()

    return known() or wait_until(created, 30, "the user " + USER)


class _Leftovers:
    """Whatever still runs in the user's desktop (its HOME) when the session stops it: helpers
    that the input methods start and that outlive them, such as Mozc's server. Held in the
    session's list like a process, first, so it is stopped last, each by its PID."""

    def __init__(self, home):
        self._marker = b"HOME=" + os.fsencode(home) + b"\0"
        self.pid = None

    def _pids(self):
        found = []
        for name in os.listdir("/proc"):
            if not name.isdigit() or int(name) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % name, "rb") as f:
                    environ = f.read()
                with open("/proc/%s/stat" % name) as f:
                    state = f.read().rsplit(")", 1)[1].split()[0]
            except OSError:
                continue
            if state not in ("Z", "X") and self._marker in b"\0" + environ:
                found.append(int(name))
        return found

    def _signal(self, sig):
        for pid in self._pids():
            try:
                os.kill(pid, sig)
            except ProcessLookupError:
                pass

    def poll(self):
        return None if self._pids() else 0

    def terminate(self):
        self._signal(signal.SIGTERM)

    def kill(self):
        self._signal(signal.SIGKILL)

    def wait(self, timeout=None):
        try:
            wait_until(lambda: not self._pids(), timeout or 3600, "the desktop's helpers to end")
        except AssertionError:
            raise subprocess.TimeoutExpired("the desktop's helpers", timeout)
        return 0


class UserDesktop:
    """The unprivileged user's side of a Session: a folder of its own, a home and a bus."""

    def __init__(self, session, bus=True):
        self.session = session
        self.uid, self.gid = desktop_user()
        if os.geteuid() == 0:
            # The user must reach its folder inside the session's; listing stays closed.
            os.chmod(session.root, 0o711)
        self.root = session.path("user")
        for folder in ("", "home", "runtime"):
            os.makedirs(os.path.join(self.root, folder), mode=0o700, exist_ok=True)
        home = self.path("home")
        self.env = dict(session.env)
        self.env.update({
            "HOME": home,
            "XDG_RUNTIME_DIR": self.path("runtime"),
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        })
        self.own(self.root)
        session._processes.append(_Leftovers(home))
        if bus:
            self._start_bus()

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def own(self, path):
        """Gives path, and everything in it, to the user."""
        if os.geteuid() != 0:
            return path
        os.chown(path, self.uid, self.gid)
        for folder, dirs, files in os.walk(path):
            for name in dirs + files:
                os.chown(os.path.join(folder, name), self.uid, self.gid, follow_symlinks=False)
        return path

    def _as_user(self):
        if os.geteuid() != 0:
            return {}
        return {"user": self.uid, "group": self.gid, "extra_groups": []}

    def spawn(self, args, env=None, **kwargs):
        full = dict(self.env)
        full.update(env or {})
        return self.session.spawn(args, env=full, **self._as_user(), **kwargs)

    def run(self, args, timeout=10, check=True):
        r = subprocess.run(args, env=self.env, capture_output=True, timeout=timeout,
                           **self._as_user())
        if check and r.returncode != 0:
            raise AssertionError("%s failed (%d): %s" % (" ".join(args), r.returncode,
                                                         r.stderr.decode(errors="replace")))
        return r

    def write(self, relative, data):
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w" if isinstance(data, str) else "wb") as f:
            f.write(data)
        self.own(self.root)
        return path

    def _start_bus(self):
        socket = self.path("runtime", "bus")
        config = self.write("bus.conf", _BUS_CONFIG % socket)
        self.bus = self.spawn(["dbus-daemon", "--nofork", "--nopidfile", "--config-file", config])
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + socket
        wait_until(lambda: os.path.exists(socket), 10, "the session bus")

    def start_orlune(self, diary, chars_to_save=20, env=None, name="app"):
        """The program in a folder of the user's, with Orlune.ini beside it, run as the user."""
        folder = self.path(name)

        def hand_over():
            self.own(folder)
            self.own(diary)

        return self.session.start_orlune(diary=diary, chars_to_save=chars_to_save, env=env,
                                         folder=folder, spawn=self.spawn, prepare=hand_over)


class Fcitx:
    """fcitx5 with Mozc, run by the user on the session's display and the user's bus."""

    CANDIDATE_TITLE = "Fcitx5 Input Window"

    def __init__(self, user):
        self.user = user
        self.session = user.session
        user.write("home/.config/fcitx5/profile", _FCITX_PROFILE)
        # Only what typing needs: no tray icon, no notifications, no clipboard history.
        with open(user.path("fcitx5.log"), "wb") as log:
            self.process = user.spawn(
                ["fcitx5", "--disable=wayland,notificationitem,notifications,kimpanel,clipboard"],
                stdout=log, stderr=subprocess.STDOUT)
        wait_until(lambda: self.state() is not None, 20, "fcitx5 on the session bus")

    def client_env(self):
        """What a Qt program needs to type through fcitx5."""
        return {"QT_IM_MODULE": "fcitx", "XMODIFIERS": "@im=fcitx"}

    def state(self):
        """"inactive" (direct typing) or "active" (Mozc) for the focused field; None without
        fcitx5 on the bus."""
        r = self.user.run(["fcitx5-remote"], check=False)
        if r.returncode != 0:
            return None
        return {b"0": "closed", b"1": "inactive", b"2": "active"}.get(r.stdout.strip(), "?")

    def switch_on(self):
        self.session.key("ctrl+space")
        wait_until(lambda: self.state() == "active", 10, "Mozc to be switched on")

    def candidate_window(self):
        """The candidate window's (x, y, width, height) on the root while it is shown."""
        for wid in self.session.windows("^%s$" % re.escape(self.CANDIDATE_TITLE)):
            return Window(self.session, wid).geometry()
        return None


class IBus:
    """ibus-daemon with Mozc, run by the user on a bus address of its own."""

    def __init__(self, user):
        self.user = user
        # Mozc under IBus starts in hiragana, as a user who switched it on would have it.
        user.write("home/.config/mozc/ibus_config.textproto",
                   'engines {\n  name: "mozc-jp"\n  longname: "Mozc"\n  layout: "default"\n'
                   '  layout_variant: ""\n  layout_option: ""\n  rank: 80\n}\n'
                   "active_on_launch: True\n")
        address = "unix:path=" + user.path("runtime", "ibus")
        # No dconf on the private bus: settings stay in memory.
        user.env.update({"IBUS_ADDRESS": address, "GSETTINGS_BACKEND": "memory"})
        with open(user.path("ibus.log"), "wb") as log:
            self.process = user.spawn(
                ["ibus-daemon", "--address=" + address, "--panel=disable",
                 "--emoji-extension=disable", "--config=disable", "--cache=none"],
                stdout=log, stderr=subprocess.STDOUT)
        wait_until(lambda: self._ibus("list-engine").returncode == 0, 20, "ibus-daemon")

    def _ibus(self, *args):
        return self.user.run(["ibus"] + list(args), check=False)

    def client_env(self):
        return {"QT_IM_MODULE": "ibus"}

    def candidate_window(self):
        """Mozc's own candidate window (IBus's panel is off) while it is shown."""
        for wid in self.user.session.windows("^mozc_renderer$"):
            x, y, width, height = Window(self.user.session, wid).geometry()
            if width > 20 and height > 20:
                return x, y, width, height
        return None

    def switch_to_mozc(self):
        # ibus reports a failure here even when the engine does change: the engine it names
        # afterwards is what counts.
        self._ibus("engine", "mozc-jp")
        wait_until(lambda: self._ibus("engine").stdout.strip() == b"mozc-jp", 10,
                   "IBus to switch to Mozc")


class Sway:
    """A headless Wayland compositor run by the user; its clients see no X display."""

    def __init__(self, user, size=(1280, 1024)):
        self.user = user
        # Wayland clients repeat a held key themselves: a client the machine starves between a
        # typed key's press and its release would repeat it. No key here is held for a minute.
        config = user.write("sway.conf", "xwayland disable\noutput HEADLESS-1 resolution %dx%d\n"
                            "input type:keyboard repeat_delay 60000\n" % size)
        runtime = user.env["XDG_RUNTIME_DIR"]
        # Empty, not unset: the session would put its X display back.
        self.env = dict(user.env, DISPLAY="")
        with open(user.path("sway.log"), "wb") as log:
            self.process = user.spawn(
                ["sway", "--config", config],
                env={"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
                     "WLR_RENDERER": "pixman", "DISPLAY": ""},
                stdout=log, stderr=subprocess.STDOUT)
        display = wait_until(lambda: glob.glob(os.path.join(runtime, "wayland-*[0-9]")), 15,
                             "sway's Wayland socket")[0]
        ipc = wait_until(lambda: glob.glob(os.path.join(runtime, "sway-ipc.*.sock")), 15,
                         "sway's command socket")[0]
        self.env.update({"WAYLAND_DISPLAY": os.path.basename(display), "SWAYSOCK": ipc})

    def _run(self, args, timeout=10):
        r = subprocess.run(args, env=self.env, capture_output=True, timeout=timeout,
                           **self.user._as_user())
        if r.returncode != 0:
            raise AssertionError("%s failed (%d): %s" % (" ".join(args), r.returncode,
                                                         r.stderr.decode(errors="replace")))
        return r.stdout.decode("utf-8", "replace")

    def msg(self, *command):
        return self._run(["swaymsg"] + list(command))

    def tree_node(self, pid):
        """The node of pid's window in sway's tree, or None while it has none."""
        def find(node):
            if node.get("pid") == pid:
                return node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = find(child)
                if found:
                    return found
            return None

        return find(json.loads(self.msg("-t", "get_tree")))

    def type_text(self, text):
        # wtype's first key of a call can be lost while the keymap reaches the client: a lone
        # Shift press leads, so only it may be.
        self._run(["wtype", "-k", "Shift_L", text], timeout=max(10, len(text)))


class Screen:
    """A rectangle of the screen as grey levels, addressed in root coordinates."""

    def __init__(self, x, y, width, height, rgb):
        self.x, self.y, self.width, self.height = x, y, width, height
        self._rgb = rgb

    def _pixel(self, x, y):
        i = ((y - self.y) * self.width + (x - self.x)) * 3
        return self._rgb[i], self._rgb[i + 1], self._rgb[i + 2]

    def grey(self, x, y):
        return sum(self._pixel(x, y)) // 3

    def is_blue(self, x, y):
        r, g, b = self._pixel(x, y)
        return b > r + 60

    def ink(self, x, y):
        return self.grey(x, y) < 100

    def rows(self, x0, x1, y0, y1):
        """The pixels of a sub-rectangle, to compare two pictures of the same place."""
        return [bytes(self.grey(x, y) for x in range(x0, x1)) for y in range(y0, y1)]


def read_screen(session, x, y, width, height):
    out = session.grab(x, y, width, height, "ppm")
    match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", out)
    w, h = int(match.group(1)), int(match.group(2))
    if (w, h) != (width, height):
        raise AssertionError("screen grab of %dx%d gave %dx%d" % (width, height, w, h))
    return Screen(x, y, width, height, out[match.end():])


def diary_entries(diary, temporaries=False):
    """A save's temporary (".MMDD.txt.XXXXXX.tmp") holds the whole new text before it is renamed
    over the entry: a wait for the entry must not take it for the entry, and a file may be gone
    by the time it is read."""
    found = {}
    for folder, _, files in os.walk(diary):
        for name in files:
            if not temporaries and name.startswith(".") and name.endswith(".tmp"):
                continue
            path = os.path.join(folder, name)
            try:
                with open(path, "rb") as f:
                    found[os.path.relpath(path, diary)] = f.read()
            except FileNotFoundError:
                continue
    return found
