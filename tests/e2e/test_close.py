#!/usr/bin/python3
"""Closing: the window manager's close button and SIGTERM save the entry; a termination
request waits for nobody and keeps an entry it cannot save in a rescue file."""

import os
import signal
import stat
import unittest

from harness import OrluneTestCase, SETTINGS_TITLE, diary_bytes, entry_path, read_bytes, write_entry


class CloseTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        self.entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)

    def type_unsaved(self, text, whole=None):
        """Types text at the end of the pane, staying short of the autosave interval, so only
        a close saves it; whole is what the pane then holds."""
        self.win.click_widget("memToday")
        self.s.key("ctrl+End")
        self.s.type_text(text)
        # Typing is done once the clipboard shows it all.
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_clipboard(whole or text)

    def rescue_folder(self):
        return self.s.rescue_folder()

    def test_close_button_saves_the_entry(self):
        self.start_main()
        self.type_unsaved("closed")
        x, y, width, _ = self.win.frame_geometry()
        self.s.click(x + width - 11, y + 8)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(read_bytes(self.entry), b"closed")

    def test_sigterm_saves_the_entry(self):
        write_entry(self.diary, self.day.year, self.day.month, self.day.day, "line\n")
        self.start_main()
        self.type_unsaved("more", "line\nmore")
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(read_bytes(self.entry), b"line\r\nmore")

    def test_sighup_with_the_diary_gone_keeps_a_rescue_file_announced_once(self):
        self.start_main()
        self.type_unsaved("rescue me")
        os.rename(self.diary, self.diary + ".gone")
        self.app.signal(signal.SIGHUP)
        self.assertEqual(self.app.wait_exit(), 0)
        files = os.listdir(self.rescue_folder())
        self.assertEqual(len(files), 1)
        rescued = os.path.join(self.rescue_folder(), files[0])
        self.assertTrue(files[0].startswith(self.day.strftime("%Y-%m-%d_")))
        self.assertEqual(read_bytes(rescued), diary_bytes("rescue me"))
        self.assertEqual(stat.S_IMODE(os.stat(rescued).st_mode), 0o600)
        self.assertEqual(stat.S_IMODE(os.stat(self.rescue_folder()).st_mode), 0o700)

        # The next start tells where it is, once.
        os.rename(self.diary + ".gone", self.diary)
        self.app = self.s.start_orlune(diary=self.diary, name="second")
        box = self.app.window("^情報$")
        self.shoot("rescue-box")
        self.s.key("Return")
        self.s.wait_no_window(box)
        self.assertEqual(stat.S_IMODE(os.stat(rescued).st_mode), 0o400)
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)

        self.start_main(name="third")
        # The page is loaded and keys reach the pane: the start-up is over, and no box came.
        self.type_unsaved("ok")
        self.assertEqual(self.s.windows("^情報$", pid=self.app.pid), [])
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(read_bytes(self.entry), b"ok")

    def test_close_button_with_the_diary_gone_reports_and_stays_open(self):
        self.start_main()
        self.type_unsaved("kept")
        os.rename(self.diary, self.diary + ".gone")
        x, y, width, _ = self.win.frame_geometry()
        self.s.click(x + width - 11, y + 8)
        # Outside a termination the settings dialog comes first, then the error report.
        dialog = self.app.window("^%s$" % SETTINGS_TITLE)
        self.s.key("Escape")
        self.s.wait_no_window(dialog)
        box = self.s.wait_window("^Orlune$", pid=self.app.pid, others_than=[self.win])
        self.s.key("Return")
        self.s.wait_no_window(box)
        self.assertTrue(self.app.running())
        self.assertFalse(os.path.exists(self.rescue_folder()))
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(len(os.listdir(self.rescue_folder())), 1)


if __name__ == "__main__":
    unittest.main()
