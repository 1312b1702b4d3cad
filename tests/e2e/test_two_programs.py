#!/usr/bin/python3
"""Two copies of the program on one diary, typing into the same day in turn: a save the first one
has in hand is never undone by the second (its temporary file stays), nothing typed in either is
lost, and a copy is kept only where one wrote without having seen the other's version."""

import os
import signal
import unittest

from harness import (OrluneTestCase, day_files, diary_bytes, entry_path, read_bytes, shim,
                     temporaries, wait_for_bytes, wait_until)

# Each 20 characters, the autosave interval: the last keystroke of each saves.
FIRST_A = "alder by the window,"
FIRST_B = "birch in the garden,"
THEN_B = " beech seen from B, "
THEN_A = " ash written last.  "


class TwoProgramsTest(OrluneTestCase):
    screen = "1700x1024x24"

    def setUp(self):
        super().setUp()
        os.makedirs(os.path.join(self.diary, str(self.day.year)))
        self.entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)
        self.name = os.path.basename(self.entry)
        # The first program's flushes wait while this file exists: its save stays in hand.
        self.hold = self.s.path("flushes-wait")
        self.app_a = self.s.start_orlune(diary=self.diary, name="a",
                                         preload=[shim("orlune_failflush")],
                                         env={"ORLUNE_FAIL_FLUSH_UNDER": self.diary,
                                              "ORLUNE_HOLD_FLUSH_WHILE": self.hold})
        self.app_b = self.s.start_orlune(diary=self.diary, name="b")
        # Both windows bear the same title: each is found by its process.
        self.win_a, self.win_b = self.app_a.main_window(), self.app_b.main_window()
        self.win_b.move_to(870, 110)

    def type_into(self, win, text):
        win.activate()
        win.click_widget("memToday")
        self.s.key("ctrl+End")
        self.s.type_text(text)

    def no_box(self, app, win):
        self.assertEqual(self.boxes(app, win), [], "pid %d showed a box" % app.pid)

    def test_both_type_into_one_day_in_turn(self):
        # The first program's save is in hand (staged, its flush waiting) when the second saves.
        open(self.hold, "wb").close()
        self.type_into(self.win_a, FIRST_A)
        live = wait_until(lambda: temporaries(self.diary, self.day), 10,
                          "the first program's save to be staged")
        self.type_into(self.win_b, FIRST_B)
        wait_for_bytes(self.entry, diary_bytes(FIRST_B))
        self.assertEqual(temporaries(self.diary, self.day), live,
                         "the second program removed the first one's live temporary file")

        # The first one's save goes through; it had not seen the second's text, which is kept.
        os.remove(self.hold)
        wait_until(lambda: read_bytes(self.entry) == diary_bytes(FIRST_A)
                   or self.boxes(self.app_a, self.win_a), 10, "the first program's save")
        self.shoot("first-saved")
        self.assertEqual(read_bytes(self.entry), diary_bytes(FIRST_A))
        copies = {n: b for n, b in day_files(self.diary, self.day).items() if n != self.name}
        self.assertEqual(list(copies.values()), [diary_bytes(FIRST_B)])
        # The first window tells where the second one's text went: a notice, not an error.
        self.assertEqual(self.answer_box(self.app_a, self.win_a), "情報")
        self.no_box(self.app_a, self.win_a)

        # Each then types having seen the other's text: no conflict, no further copy.
        wait_until(lambda: self.pane_text(self.win_b) == FIRST_A, 10,
                   "the second window to show the first one's text")
        self.type_into(self.win_b, THEN_B)
        wait_for_bytes(self.entry, diary_bytes(FIRST_A + THEN_B))
        wait_until(lambda: self.pane_text(self.win_a) == FIRST_A + THEN_B, 10,
                   "the first window to show the second one's text")
        self.type_into(self.win_a, THEN_A)
        whole = FIRST_A + THEN_B + THEN_A
        wait_for_bytes(self.entry, diary_bytes(whole))
        self.shoot("both-saved")
        for app, win in ((self.app_a, self.win_a), (self.app_b, self.win_b)):
            self.no_box(app, win)
            app.signal(signal.SIGTERM)
            self.assertEqual(app.wait_exit(), 0)

        self.assertEqual(day_files(self.diary, self.day),
                         dict(copies, **{self.name: diary_bytes(whole)}))
        self.assertEqual(temporaries(self.diary, self.day), [])
        self.assertFalse(os.path.exists(self.s.rescue_folder()))


if __name__ == "__main__":
    unittest.main()
