#!/usr/bin/python3
"""A newer version of today's entry arrives by rename while nothing is typed in the pane, and the
person leaves the pane (or the session ends) before the page follows it: the newer version stays
the entry, byte for byte, and no copy is made, for nothing was written over it."""

import os
import signal
import unittest

from harness import OrluneTestCase, day_files, diary_bytes, wait_until, write_entry

SHOWN = "朝の分\n"
# Longer and on more lines, so the pane looks different once it shows it.
NEWER = "朝の分\nほかの端末で昼に書き足した\n夜\n"


class NewerVersionTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        self.name = "%02d%02d.txt" % (self.day.month, self.day.day)
        self.entry = write_entry(self.diary, self.day.year, self.day.month, self.day.day, SHOWN)
        self.start_main()
        # The page is loaded: the pane offers what the file holds.
        self.assertEqual(self.pane_text(), SHOWN)

    def replace_by_rename(self):
        """Another writer's newer version, put in place as synchronisers do."""
        temporary = os.path.join(os.path.dirname(self.entry), ".sync-newer.tmp")
        with open(temporary, "wb") as f:
            f.write(diary_bytes(NEWER))
        os.rename(temporary, self.entry)

    def assert_newer_kept_alone(self):
        files = day_files(self.diary, self.day)
        self.assertEqual(files, {self.name: diary_bytes(NEWER)},
                         "the newer version must stay the entry and nothing be copied")

    def test_leaving_the_pane_before_the_page_follows(self):
        # A first leave and return, so the pane's picture without the cursor is known.
        self.s.key("Tab")
        shown_before = self.steady_pixels()
        self.s.key("shift+Tab")
        self.replace_by_rename()
        # Well within the page's delay before it follows.
        self.s.key("Tab")
        # The page follows the newer version; a save of the old text would have made a copy.
        try:
            wait_until(lambda: self.steady_pixels() != shown_before
                       or len(day_files(self.diary, self.day)) > 1, 10,
                       "the page to follow the newer version")
        finally:
            self.shoot("after-leaving")
        self.assert_newer_kept_alone()
        self.assertEqual(self.pane_text(), NEWER)
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assert_newer_kept_alone()

    def test_terminating_before_the_page_follows(self):
        self.replace_by_rename()
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assert_newer_kept_alone()
        self.assertFalse(os.path.exists(self.s.rescue_folder()))

    def steady_pixels(self):
        """The pane's picture once two grabs agree (a repaint may be under way)."""
        last = [None]

        def same_twice():
            shown, last[0] = last[0], self.win.pixels("memToday")
            return shown == last[0] and shown

        return wait_until(same_twice, 5, "the pane to stand still")


if __name__ == "__main__":
    unittest.main()
