#!/usr/bin/python3
"""One diary on two computers: two Orlune windows, each on its own diary folder, kept in step by
two Syncthing instances on 127.0.0.1."""

import os
import signal
import subprocess
import time
import unittest

from harness import Session, Window, diary_bytes, entry_path, read_bytes, wait_until
from syncpair import SyncPair, SyncthingUnavailable

# Ten full-width characters: 20 bytes, so the paste itself reaches the autosave interval.
MORNING = "朝は川沿いを散歩した"
# Typed after it: the first 20 characters are saved at 40 bytes, the rest stays in the pane.
WORDS_A = ["amber", "birch", "cedar", "dune", "ember", "fjord"]
WORDS_B = ["gorse", "heath", "islet", "juniper", "kelp", "larch"]
SCREEN = "1700x1024x24"


def typed(words):
    return "".join(" " + w for w in words)


class SyncTest(unittest.TestCase):
    def setUp(self):
        self.s = Session(screen=SCREEN, watchdog=170)
        self.addCleanup(self.s.stop)
        self.started = time.monotonic()
        self.clicks = 0

    def window_of(self, app):
        # Both windows bear the same title: match the process and the title together.
        def found():
            out = self.s.run(["xdotool", "search", "--all", "--onlyvisible", "--pid",
                              str(app.pid), "--name", "^Orlune$"], check=False)
            return out.split()
        return Window(self.s, wait_until(found, 15, "the main window of pid %d" % app.pid)[0])

    def other_windows(self, app, main):
        out = self.s.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(app.pid),
                          "--name", "."], check=False)
        return [int(w) for w in out.split() if int(w) != main.id]

    def shoot(self, label):
        """A screenshot kept in $ORLUNE_E2E_SHOTS, when set, for a person to look at."""
        folder = os.environ.get("ORLUNE_E2E_SHOTS")
        if folder:
            os.makedirs(folder, exist_ok=True)
            self.s.screenshot(os.path.join(folder, "%s-%s.png" % (self.id(), label)))

    def click_pane(self, win):
        # Each click lands somewhere new: xdotool's synchronous move waits for a motion.
        self.clicks += 1
        win.activate()
        win.click_widget("memToday", dy=150 + self.clicks % 2 * 20)

    def pane_pixels(self, win):
        x, y, w, h = win.geometry()
        px, py = win.widget_point("memToday", 0, 0)
        width, height = 249, 233
        return subprocess.run(["import", "-window", "root", "-crop",
                               "%dx%d+%d+%d" % (width, height, x + px, y + py), "rgb:-"],
                              env=self.s.env, capture_output=True, check=True, timeout=10).stdout

    def copied(self, copy):
        self.s.set_clipboard("(nothing copied)")
        copy()
        return wait_until(lambda: self.s.clipboard() not in (None, "(nothing copied)")
                          and self.s.clipboard(), 5, "a text on the clipboard")

    def pane_text(self, win):
        self.click_pane(win)
        text = self.copied(lambda: self.s.key("ctrl+a", "ctrl+c"))
        self.s.key("ctrl+End")
        return text.replace("\r\n", "\n")

    def type_into(self, win, text):
        self.click_pane(win)
        self.s.key("ctrl+End")
        self.s.type_text(text)

    def today(self):
        return self.s.run(["date", "+%Y %m %d"]).split()

    def entry_texts(self, folder, year, monthday):
        """Every file of the day in the year folder (the entry and every kept copy), decoded."""
        texts = {}
        year_folder = os.path.join(folder, year)
        for name in sorted(os.listdir(year_folder)):
            if name.startswith(monthday + ".") and name.endswith(".txt"):
                with open(os.path.join(year_folder, name), "rb") as f:
                    texts[name] = f.read().decode("cp932").replace("\r\n", "\n")
        return texts

    def test_two_windows_keep_every_word_through_syncthing(self):
        folder_a, folder_b = self.s.path("diary-a"), self.s.path("diary-b")
        os.makedirs(folder_a)
        os.makedirs(folder_b)
        try:
            pair = SyncPair(self.s.path("sync"), folder_a, folder_b, spawn=self.s.spawn)
            pair.start()
        except SyncthingUnavailable as e:
            self.skipTest(str(e))
        self.addCleanup(pair.stop)
        year, month, day = self.today()
        monthday = month + day
        file_a = entry_path(folder_a, int(year), int(month), int(day))
        file_b = entry_path(folder_b, int(year), int(month), int(day))

        app_a = self.s.start_orlune(diary=folder_a, name="a")
        app_b = self.s.start_orlune(diary=folder_b, name="b")
        win_a, win_b = self.window_of(app_a), self.window_of(app_b)
        # Side by side, so that neither hides the other's pane.
        self.s.run(["xdotool", "windowmove", "--sync", str(win_b.id), "870", "110"])

        # (a) A paste in the first window reaches the second window's page, with no action there.
        self.click_pane(win_a)
        shown_before = self.pane_pixels(win_b)
        self.s.set_clipboard(MORNING)
        self.s.key("ctrl+v")
        saved = diary_bytes(MORNING)
        wait_until(lambda: read_bytes(file_a) == saved, 10, "the paste saved in diary a")
        t_saved = time.monotonic()
        wait_until(lambda: read_bytes(file_b) == saved, 20, "the entry to reach diary b")
        t_arrived = time.monotonic()
        wait_until(lambda: self.pane_pixels(win_b) != shown_before, 20,
                   "the second window to show the entry")
        t_shown = time.monotonic()
        print("entry crossed: on disk in b after %.2f s, shown in b's pane after %.2f s"
              % (t_arrived - t_saved, t_shown - t_saved))
        self.shoot("crossed")
        self.assertEqual(self.pane_text(win_b), MORNING)

        # (b) Both windows write the same day while the synchronisers are paused.
        pair.set_paused(True)
        self.type_into(win_a, typed(WORDS_A))
        self.type_into(win_b, typed(WORDS_B))
        wait_until(lambda: read_bytes(file_a) == diary_bytes(MORNING + typed(WORDS_A)[:20]), 10,
                   "the autosave in diary a")
        wait_until(lambda: read_bytes(file_b) == diary_bytes(MORNING + typed(WORDS_B)[:20]), 10,
                   "the autosave in diary b")
        # The second computer wrote last: its version wins Syncthing's conflict.
        now = time.time()
        os.utime(file_a, (now - 60, now - 60))
        os.utime(file_b, (now - 30, now - 30))
        pair.set_paused(False)
        pair.settle()

        # The first window closes by its window manager's close. Its file now holds the second
        # computer's version, which it has not seen: a box names the copy that keeps it (see the
        # screenshot; the box offers its text to no clipboard).
        win_a.activate()
        self.s.key("alt+F4")
        boxes = wait_until(lambda: self.other_windows(app_a, win_a) or not app_a.running(), 15,
                           "the first window to close or show a box")
        self.assertIsInstance(boxes, list, "the first window closed without a box")
        box = Window(self.s, boxes[0])
        box.activate()
        self.shoot("box")
        self.s.key("Return")
        self.assertEqual(app_a.wait_exit(), 0)
        pair.settle()
        # The second ends on a termination request: it must not wait for anyone.
        app_b.signal(signal.SIGTERM)
        self.assertEqual(app_b.wait_exit(), 0)
        pair.settle()
        if self.today() != [year, month, day]:
            self.skipTest("the date changed while the test ran")

        for folder in (folder_a, folder_b):
            texts = self.entry_texts(folder, year, monthday)
            every = "\n".join(texts.values())
            for word in [MORNING] + WORDS_A + WORDS_B:
                self.assertIn(word, every, "%r is in no file of %s: %r" % (word, folder, texts))
            self.assertTrue([n for n in texts if n.startswith(monthday + ".conflict-")],
                            "no copy kept by the program in %s: %r" % (folder, texts))
        print("files of the day: %s" % sorted(self.entry_texts(folder_a, year, monthday)))

        # (c) Nothing is left running.
        pids = pair.pids()
        pair.stop()
        for pid in pids + [app_a.pid, app_b.pid]:
            self.assertFalse(os.path.exists("/proc/%d" % pid), "process %d still exists" % pid)
        leftovers = [p for p in os.listdir("/proc") if p.isdigit() and self.s.root.encode()
                     in (read_bytes("/proc/%s/cmdline" % p) or b"")]
        self.assertEqual(leftovers, [])
        print("run time: %.1f s" % (time.monotonic() - self.started))


if __name__ == "__main__":
    unittest.main()
