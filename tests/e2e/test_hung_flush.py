#!/usr/bin/python3
"""A disk that stops answering (a share gone away): a flush of the day's entry never returns.
A termination keeps every text typed in a rescue file before it waits for anything, so the
SIGKILL that a session sends a few seconds after SIGTERM loses nothing, and it ends on its own
all the same; a close tells the person that the text is not saved and keeps the window open
with it, and closes once the disk answers again."""

import os
import signal
import unittest

from harness import (OrluneTestCase, diary_bytes, entry_path, read_bytes, shim, temporaries,
                     wait_until)

# 20 bytes, the autosave interval: the last keystroke hands the save to the writer, whose flush
# then never returns.
SAVED = "held by a dead disk!"
MORE = " and more"


class HungFlushTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        os.makedirs(os.path.join(self.diary, str(self.day.year)), exist_ok=True)
        self.hold = self.s.path("flushes-hang")
        open(self.hold, "wb").close()
        self.addCleanup(self.release)
        self.start_main(preload=[shim("orlune_failflush")], env={
            "ORLUNE_FAIL_FLUSH_UNDER": self.diary,
            "ORLUNE_HOLD_FLUSH_WHILE": self.hold,
            "ORLUNE_HOLD_FLUSH_FOREVER": "1",
        })
        self.entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)
        self.win.click_widget("memToday")
        self.s.type_text(SAVED)
        wait_until(lambda: temporaries(self.diary, self.day), 10, "the save to be staged")
        self.s.type_text(MORE)
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_clipboard(SAVED + MORE)

    def release(self):
        if os.path.exists(self.hold):
            os.remove(self.hold)

    def rescued_of_the_day(self):
        folder = self.s.rescue_folder()
        names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
        return [os.path.join(folder, n) for n in names
                if n.startswith(self.day.strftime("%Y-%m-%d_"))]

    def test_termination_rescues_before_waiting_and_survives_the_kill_that_follows(self):
        self.app.signal(signal.SIGTERM)
        # The session's SIGKILL comes as soon as the rescue file is there: nothing may be
        # missing from it then.
        rescued = wait_until(lambda: [f for f in self.rescued_of_the_day()
                                      if read_bytes(f) == diary_bytes(SAVED + MORE)],
                             10, "the typing in a rescue file")
        self.assertEqual(len(rescued), 1)
        if self.app.running():
            self.app.signal(signal.SIGKILL)
        self.app.wait_exit()
        self.assertIsNone(read_bytes(self.entry))

    def test_termination_ends_by_itself_with_the_typing_rescued(self):
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(timeout=30), 0)
        rescued = self.rescued_of_the_day()
        self.assertEqual([read_bytes(f) for f in rescued], [diary_bytes(SAVED + MORE)],
                         "one rescue file of the day, holding all the typing")
        self.assertIsNone(read_bytes(self.entry))

    def test_close_says_so_keeps_the_window_and_closes_once_the_disk_answers(self):
        self.win.activate()
        self.s.key("alt+F4")
        self.answer_box(timeout=30)
        self.assertTrue(self.app.running(), "the window must stay open")
        self.assertEqual(self.pane_text(), SAVED + MORE)
        self.assertIsNone(read_bytes(self.entry))
        self.release()
        self.win.activate()
        self.s.key("alt+F4")
        self.assertEqual(self.app.wait_exit(timeout=30), 0)
        self.assertEqual(read_bytes(self.entry), diary_bytes(SAVED + MORE))
        self.assertFalse(os.path.exists(self.s.rescue_folder()))


if __name__ == "__main__":
    unittest.main()
