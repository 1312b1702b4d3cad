#!/usr/bin/python3
"""A save of day D whose flush fails (EIO) once the person has already clicked another day: the
typing is kept, shown again on D, saved by the close once the disk works again, and put in the
rescue folder under D's date by a termination while the disk still fails. And the first save of
a year whose folder cannot be made (a file lies in its place): the error comes from the writer,
the typing stays and is saved once the file is gone."""

import datetime
import os
import signal
import stat
import unittest

from harness import (OrluneTestCase, diary_bytes, entry_path, read_bytes, shim, temporaries,
                     wait_until)

# 20 characters, the autosave interval: the last keystroke hands the save to the writer.
TYPED = "typed on D, kept it!"


class FailedFlushTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        # Another day of the month the calendar shows.
        following = self.day + datetime.timedelta(days=1)
        self.other = following if following.month == self.day.month else (
            self.day - datetime.timedelta(days=1))
        for year in {self.day.year, self.other.year}:
            os.makedirs(os.path.join(self.diary, str(year)), exist_ok=True)
        self.failing = self.s.path("flushes-fail")
        self.hold = self.s.path("flushes-wait")
        self.start_main(preload=[shim("orlune_failflush")], env={
            "ORLUNE_FAIL_FLUSH_UNDER": self.diary,
            "ORLUNE_FAIL_FLUSH_WHILE": self.failing,
            "ORLUNE_HOLD_FLUSH_WHILE": self.hold,
        })
        self.entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)
        self.type_then_fail_after_moving_on()

    @staticmethod
    def touch(path):
        open(path, "wb").close()

    def type_then_fail_after_moving_on(self):
        """Types on D; the save's flush waits until the page shows the other day, then fails,
        and the error box is answered."""
        self.touch(self.failing)
        self.touch(self.hold)
        self.win.click_widget("memToday")
        self.s.type_text(TYPED)
        wait_until(lambda: temporaries(self.diary, self.day), 10, "the save of D to be staged")
        self.win.click_day(self.other)
        self.shoot("other-day")
        os.remove(self.hold)
        self.answer_box()
        self.assertEqual(self.boxes(), [])
        self.assertIsNone(read_bytes(self.entry))

    def test_typing_is_shown_again_and_saved_by_the_close(self):
        self.win.click_day(self.day)
        self.shoot("back-on-d")
        self.assertEqual(self.pane_text(), TYPED, "the failed save's typing must be shown on D")
        os.remove(self.failing)
        self.win.activate()
        self.s.key("alt+F4")
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(read_bytes(self.entry), diary_bytes(TYPED))
        self.assertFalse(os.path.exists(self.s.rescue_folder()))

    def test_termination_keeps_the_typing_in_a_rescue_file_of_d(self):
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        folder = self.s.rescue_folder()
        files = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        of_d = [f for f in files if f.startswith(self.day.strftime("%Y-%m-%d_"))]
        self.assertEqual(len(of_d), 1, "one rescue file under D's date: %r" % files)
        self.assertEqual(read_bytes(os.path.join(folder, of_d[0])), diary_bytes(TYPED))
        self.assertIsNone(read_bytes(self.entry))


class YearFolderTest(OrluneTestCase):
    def test_error_comes_the_typing_stays_and_is_saved_once_the_file_is_gone(self):
        blocker = os.path.join(self.diary, str(self.day.year))
        with open(blocker, "wb") as f:
            f.write(b"not a folder")
        self.start_main()
        entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)
        self.win.click_widget("memToday")
        self.s.type_text(TYPED)
        self.answer_box()
        self.assertEqual(self.pane_text(), TYPED, "the typing must stay in the pane")
        self.assertEqual(read_bytes(blocker), b"not a folder")
        os.remove(blocker)
        self.s.type_text(" on")
        self.win.activate()
        self.s.key("alt+F4")
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(read_bytes(entry), diary_bytes(TYPED + " on"))
        self.assertEqual(stat.S_IMODE(os.stat(blocker).st_mode), 0o700)


if __name__ == "__main__":
    unittest.main()
