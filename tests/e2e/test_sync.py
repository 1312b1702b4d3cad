#!/usr/bin/python3
"""One diary on two computers: two Orlune windows, each on its own diary folder, kept in step by
two Syncthing instances on 127.0.0.1."""

import os
import signal
import time
import unittest

from harness import Session, Window, diary_bytes, entry_path, read_bytes, wait_until
from syncpair import SyncPair, SyncthingUnavailable

# Ten full-width characters: 20 bytes, so the paste itself reaches the autosave interval.
MORNING = "朝は川沿いを散歩した"
# Typed after it: the first 20 characters are saved at 40 bytes, the rest stays in the pane.
WORDS_A = ["amber", "birch", "cedar", "dune", "ember", "fjord"]
WORDS_B = ["gorse", "heath", "islet", "juniper", "kelp", "larch"]
WORDS_C = ["maple", "nettle", "oak", "pine"]
WORDS_D = ["quince", "reed", "sorrel", "thyme"]
SCREEN = "1700x1024x24"


def typed(words):
    return "".join(" " + w for w in words)


class SyncTest(unittest.TestCase):
    def setUp(self):
        self.s = Session(screen=SCREEN, watchdog=170)
        self.addCleanup(self.s.stop)
        self.started = time.monotonic()
        self.clicks = 0

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
        return win.pixels("memToday")

    def steady_pixels(self, win):
        """The pane's pixels once a repaint (of a window just made inactive, say) is over."""
        last = [None]

        def same_twice():
            time.sleep(0.1)
            shown, last[0] = last[0], self.pane_pixels(win)
            return shown == last[0] and shown

        return wait_until(same_twice, 5, "the pane to stand still")

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

    def start_desk(self):
        """Two diary folders kept in step by Syncthing, and a window on each, side by side."""
        self.folder_a, self.folder_b = self.s.path("diary-a"), self.s.path("diary-b")
        os.makedirs(self.folder_a)
        os.makedirs(self.folder_b)
        try:
            self.pair = SyncPair(self.s.path("sync"), self.folder_a, self.folder_b,
                                 spawn=self.s.spawn)
            self.pair.start()
        except SyncthingUnavailable as e:
            self.skipTest(str(e))
        self.addCleanup(self.pair.stop)
        self.date = self.today()
        year, month, day = (int(part) for part in self.date)
        self.monthday = self.date[1] + self.date[2]
        self.file_a = entry_path(self.folder_a, year, month, day)
        self.file_b = entry_path(self.folder_b, year, month, day)
        self.app_a = self.s.start_orlune(diary=self.folder_a, name="a")
        self.app_b = self.s.start_orlune(diary=self.folder_b, name="b")
        # Both windows bear the same title: each is found by its process.
        self.win_a, self.win_b = self.app_a.main_window(), self.app_b.main_window()
        self.win_b.move_to(870, 110)

    def conflict_while_paused(self, text_a, text_b, newer):
        """Both windows write the day while sync is paused; newer's file wins Syncthing's
        conflict when it resumes."""
        self.pair.set_paused(True)
        self.type_into(self.win_a, text_a[0])
        self.type_into(self.win_b, text_b[0])
        wait_until(lambda: read_bytes(self.file_a) == diary_bytes(text_a[1]), 10, "diary a's save")
        wait_until(lambda: read_bytes(self.file_b) == diary_bytes(text_b[1]), 10, "diary b's save")
        now = time.time()
        older = self.file_b if newer == self.file_a else self.file_a
        os.utime(older, (now - 60, now - 60))
        os.utime(newer, (now - 30, now - 30))
        self.pair.set_paused(False)
        self.pair.settle()

    def assert_every_word_kept(self, words):
        if self.today() != self.date:
            self.skipTest("the date changed while the test ran")
        for folder in (self.folder_a, self.folder_b):
            texts = self.entry_texts(folder, self.date[0], self.monthday)
            every = "\n".join(texts.values())
            for word in words:
                self.assertIn(word, every, "%r is in no file of %s: %r" % (word, folder, texts))
        print("files of the day: %s" % sorted(texts))
        return sorted(texts)

    def kept_by_program(self, names):
        return [n for n in names if n.startswith(self.monthday + ".conflict-")]

    def assert_nothing_left_running(self):
        pids = self.pair.pids()
        self.pair.stop()
        for pid in pids + [self.app_a.pid, self.app_b.pid]:
            self.assertFalse(os.path.exists("/proc/%d" % pid), "process %d still exists" % pid)
        leftovers = [p for p in os.listdir("/proc") if p.isdigit() and self.s.root.encode()
                     in (read_bytes("/proc/%s/cmdline" % p) or b"")]
        self.assertEqual(leftovers, [])
        print("run time: %.1f s" % (time.monotonic() - self.started))

    def test_entry_crosses_and_no_word_is_lost_while_both_type(self):
        self.start_desk()
        win_a, win_b, app_a, app_b = self.win_a, self.win_b, self.app_a, self.app_b

        # A paste in the first window reaches the second window's page, with no action there.
        self.click_pane(win_a)
        shown_before = self.steady_pixels(win_b)
        self.s.set_clipboard(MORNING)
        self.s.key("ctrl+v")
        saved = diary_bytes(MORNING)
        wait_until(lambda: read_bytes(self.file_a) == saved, 10, "the paste saved in diary a")
        t_saved = time.monotonic()
        wait_until(lambda: read_bytes(self.file_b) == saved, 20, "the entry to reach diary b")
        t_arrived = time.monotonic()
        arrived = os.stat(self.file_b)
        wait_until(lambda: self.pane_pixels(win_b) != shown_before, 20,
                   "the second window to show the entry")
        t_shown = time.monotonic()
        print("entry crossed: on disk in b after %.2f s, shown in b's pane after %.2f s"
              % (t_arrived - t_saved, t_shown - t_saved))
        self.shoot("crossed")
        self.assertEqual(self.pane_text(win_b), MORNING)
        # Showing it was a load: the second window wrote nothing back.
        after = os.stat(self.file_b)
        self.assertEqual((after.st_ino, after.st_mtime_ns), (arrived.st_ino, arrived.st_mtime_ns))

        # Both type on while sync is paused; each autosaves its first 20 characters and keeps
        # the rest in the pane. The second computer's file is newer, so it wins in Syncthing.
        self.conflict_while_paused((typed(WORDS_A), MORNING + typed(WORDS_A)[:20]),
                                   (typed(WORDS_B), MORNING + typed(WORDS_B)[:20]),
                                   newer=self.file_b)

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
        self.pair.settle()
        # The second ends on a termination request: it must not wait for anyone.
        app_b.signal(signal.SIGTERM)
        self.assertEqual(app_b.wait_exit(), 0)
        self.pair.settle()

        names = self.assert_every_word_kept([MORNING] + WORDS_A + WORDS_B)
        self.assertTrue(self.kept_by_program(names), names)
        self.assert_nothing_left_running()

    def test_saved_entries_meet_and_the_page_shows_the_newer(self):
        self.start_desk()
        text_a, text_b = typed(WORDS_C).lstrip(), typed(WORDS_D).lstrip()
        # Each window leaves its pane after typing, so all it typed is saved before sync resumes;
        # the first computer's file is newer and wins in Syncthing.
        self.pair.set_paused(True)
        for win, text in ((self.win_a, text_a), (self.win_b, text_b)):
            self.type_into(win, text)
            win.click_widget("mem1YearAgo")
        wait_until(lambda: read_bytes(self.file_a) == diary_bytes(text_a), 10, "diary a's save")
        wait_until(lambda: read_bytes(self.file_b) == diary_bytes(text_b), 10, "diary b's save")
        shown_before = self.steady_pixels(self.win_b)
        now = time.time()
        os.utime(self.file_b, (now - 60, now - 60))
        os.utime(self.file_a, (now - 30, now - 30))
        self.pair.set_paused(False)
        self.pair.settle()

        # The second window holds no unsaved typing: its page follows the winner.
        wait_until(lambda: self.pane_pixels(self.win_b) != shown_before, 10,
                   "the second window to show the newer entry")
        self.assertEqual(self.pane_text(self.win_b), text_a)
        stamps = [os.stat(f).st_mtime_ns for f in (self.file_a, self.file_b)]
        for app in (self.app_a, self.app_b):
            app.signal(signal.SIGTERM)
            self.assertEqual(app.wait_exit(), 0)
        self.pair.settle()

        # Neither close had anything new to write, and neither kept a copy of its own.
        self.assertEqual([os.stat(f).st_mtime_ns for f in (self.file_a, self.file_b)], stamps)
        names = self.assert_every_word_kept(WORDS_C + WORDS_D)
        self.assertEqual(self.kept_by_program(names), [])
        self.assert_nothing_left_running()


if __name__ == "__main__":
    unittest.main()
