#!/usr/bin/python3
"""The Debian package as a machine's administrator and one of its users meet it: the package's
own test (debian/tests/control), run by autopkgtest on the built package as root.

usage: package_test.py      (with the package installed; scripts/package-test runs autopkgtest)

Validates the installed launcher and AppStream file, then, as an unprivileged user on a private
X display with openbox, starts `orlune` from the PATH, answers the first-run settings dialog,
opens and closes the printer set-up dialog, types an entry and closes the window: the entry is
in the diary, the settings are in the user's ~/.config/orlune/, nothing under /usr changed.
Then purges the package: every file of it and every folder of its own is gone, the user's
diary and settings are untouched. The user (created when missing) and its files are removed
whatever happens.
"""

import os
import pwd
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "e2e"))
from harness import (MAIN_TITLE, SETTINGS_TITLE, Session, diary_bytes,  # noqa: E402
                     entry_path, menu_item_point, read_bytes, today)

USER = "orlune-package"
TEXT = "written by the package"


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


def run(args, timeout=300, **kwargs):
    """A command to its end; its output when it succeeds, its error otherwise."""
    r = subprocess.run(args, capture_output=True, text=True, timeout=timeout, **kwargs)
    if r.returncode != 0:
        raise Failed("%s failed (%d):\n%s%s" % (" ".join(args), r.returncode, r.stdout, r.stderr))
    return r.stdout


def apt(*args):
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    return run(["apt-get", "-q", "-y", "-o", "DPkg::Lock::Timeout=120"] + list(args), env=env)


def is_installed(package):
    r = subprocess.run(["dpkg-query", "-W", "-f", "${db:Status-Abbrev}", package],
                       capture_output=True, text=True, timeout=60)
    return r.returncode == 0 and r.stdout.startswith("ii")


def own_folders(paths):
    """The folders of the list that no other package lists."""
    folders = [p for p in paths if os.path.isdir(p) and not os.path.islink(p)]
    own = []
    for folder in folders:
        owners = run(["dpkg-query", "-S", folder]).rsplit(":", 1)[0]
        if [o.strip() for o in owners.split(",")] == ["orlune"]:
            own.append(folder)
    return own


def changed_under_usr(marker):
    out = subprocess.run(["find", "/usr", "-xdev", "(", "-newer", marker, "-o", "-cnewer", marker,
                          ")", "-print"], capture_output=True, text=True, timeout=120).stdout
    return out.split()


class User:
    """An unprivileged user with a home of its own in a fresh folder."""

    def __init__(self):
        self.created = False
        try:
            pwd.getpwnam(USER)
        except KeyError:
            run(["useradd", "--system", "--no-create-home", "--home-dir", "/nonexistent",
                 "--shell", "/usr/sbin/nologin", USER])
            self.created = True
        entry = pwd.getpwnam(USER)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid
        self.root = tempfile.mkdtemp(prefix="orlune-package-")
        os.chmod(self.root, 0o711)
        self.home = os.path.join(self.root, "home")
        self.runtime = os.path.join(self.root, "runtime")
        for folder in (self.home, self.runtime):
            os.mkdir(folder, 0o700)
            os.chown(folder, self.uid, self.gid)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)
        if self.created:
            subprocess.run(["userdel", USER], capture_output=True, timeout=60)


def first_run(user):
    """Starts orlune as the user, picks the diary folder in the first-run dialog (the tree
    opens on the home folder), types an entry and closes the window."""
    with Session(watchdog=180) as s:
        env = {"HOME": user.home, "XDG_RUNTIME_DIR": user.runtime, "PATH": "/usr/bin:/bin",
               "USER": USER, "LOGNAME": USER}
        # The settings' own default place: no XDG_CONFIG_HOME, no XDG_DATA_HOME.
        for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"):
            s.env.pop(name, None)
        log = open(os.path.join(user.root, "output.log"), "wb")
        try:
            app = s.spawn(["orlune"], env=env, stdout=log, stderr=subprocess.STDOUT,
                          cwd=user.home, user=user.uid, group=user.gid, extra_groups=[])
        finally:
            log.close()
        try:
            dialog = s.wait_window("^%s$" % SETTINGS_TITLE, pid=app.pid, timeout=30)
            dialog.click(284, 328)  # OK
            s.wait_no_window(dialog)
            win = s.wait_window("^%s$" % MAIN_TITLE, pid=app.pid, timeout=30)
            win.activate()
            # The launcher tells the desktop which windows are Orlune's by their class.
            wm_class = s.run(["xprop", "-id", str(win.id), "WM_CLASS"])
            check('"orlune"' in wm_class.split("=", 1)[-1].split(",")[-1],
                  "the window's class is not the launcher's StartupWMClass: " + wm_class)
            # The printer set-up dialog comes from its module beside the program.
            popup = win.open_menu("File1")
            popup.click(*menu_item_point("File1", "Print1"))
            printer = s.wait_window("^プリンタの設定$", pid=app.pid, timeout=30)
            s.key("Escape")
            s.wait_no_window(printer)
            win.click_widget("memToday")
            s.type_text(TEXT)
            s.key("ctrl+a", "ctrl+c")
            s.wait_clipboard(TEXT)
            x, y, width, _ = win.frame_geometry()
            s.click(x + width - 11, y + 8)  # the window manager's close button
            code = app.wait(15)
            check(code == 0, "orlune ended with %d" % code)
        except BaseException:
            sys.stderr.write("--- output of orlune:\n%s\n" % read_bytes(
                os.path.join(user.root, "output.log")).decode("utf-8", "replace"))
            raise


def main():
    check(os.geteuid() == 0, "the package test creates a user: run it as root")
    check(is_installed("orlune"), "orlune is not installed: autopkgtest installs it")
    user = User()
    try:
        files = [p for p in run(["dpkg", "-L", "orlune"]).split() if p != "/."]
        folders = own_folders(files)
        print("installed: %d paths, own folders %s" % (len(files), " ".join(folders)))
        run(["desktop-file-validate", "/usr/share/applications/orlune.desktop"])
        run(["appstreamcli", "validate", "--no-net", "/usr/share/metainfo/orlune.metainfo.xml"])
        check(shutil.which("orlune") == "/usr/bin/orlune", "orlune is not on the PATH")

        marker = os.path.join(user.root, "marker")
        open(marker, "w").close()
        time.sleep(1.1)  # file times can be as coarse as a second
        first_run(user)

        day = today()
        entry = entry_path(user.home, day.year, day.month, day.day)
        check(read_bytes(entry) == diary_bytes(TEXT), "the entry holds %r" % read_bytes(entry))
        config = os.path.join(user.home, ".config", "orlune")
        settings = os.path.join(config, "Orlune.ini")
        check(read_bytes(settings) == ("[Data]\r\nDir=%s\r\nNumberOfCharsToSave=20\r\n"
                                       % user.home).encode(),
              "the settings hold %r" % read_bytes(settings))
        for path, mode in ((settings, 0o600), (config, 0o700)):
            st = os.stat(path)
            check(stat.S_IMODE(st.st_mode) == mode and st.st_uid == user.uid,
                  "%s: mode %o, owner %d" % (path, stat.S_IMODE(st.st_mode), st.st_uid))
        changed = changed_under_usr(marker)
        check(not changed, "written under /usr: %s" % changed)
        kept = {path: read_bytes(path) for path in (entry, settings)}

        apt("purge", "orlune")
        left = [p for p in files if os.path.lexists(p) and not os.path.isdir(p)]
        left += [f for f in folders if os.path.lexists(f)]
        check(not left, "left behind by the purge: %s" % left)
        for path, content in kept.items():
            check(read_bytes(path) == content, "the purge changed " + path)
    finally:
        user.remove()
    print("package test: all checks passed")


if __name__ == "__main__":
    if len(sys.argv) != 1:
        sys.exit(__doc__)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    try:
        main()
    except Failed as e:
        print("FAIL: %s" % e)
        sys.exit(1)
