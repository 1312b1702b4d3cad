#!/usr/bin/python3
"""The export through the real file dialog, the settings dialog's OK and Cancel, and the printer
set-up dialog."""

import os
import signal
import unittest

from harness import (OrluneTestCase, diary_bytes, entry_path, menu_item_point, read_bytes,
                     wait_for_bytes, write_entry)


class DialogsTest(OrluneTestCase):
    def choose(self, menu, item):
        popup = self.win.open_menu(menu)
        popup.click(*menu_item_point(menu, item))

    def finish(self):
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)

    def test_export_writes_the_five_entries_through_the_file_dialog(self):
        d = self.day
        write_entry(self.diary, d.year, d.month, d.day, "今日\n")
        write_entry(self.diary, d.year - 1, d.month, d.day, "去年")
        self.start_main()
        self.choose("File1", "Save1")
        dialog = self.app.window("^日記を出力$")
        self.shoot("save-dialog")
        target = self.s.path("out")
        self.s.type_text(target)
        self.s.key("Return")
        box = self.app.window("^情報$")
        self.s.key("Return")
        self.s.wait_no_window(box)
        expected = "".join("%d/%d/%d\n%s\n" % (d.year - k, d.month, d.day, text)
                           for k, text in enumerate(["今日\n", "去年", "", "", ""]))
        wait_for_bytes(target + ".txt", diary_bytes(expected))
        self.assertFalse(dialog.id in self.s.windows())
        self.finish()

    def test_settings_ok_writes_the_file_and_cancel_leaves_it(self):
        self.start_main()
        before = read_bytes(self.app.settings_path)
        self.choose("Edit1", "EditStteings1")
        dialog = self.app.window("^設定処理$")
        self.shoot("settings")
        dialog.click(224, 301)          # the interval's spin box
        self.s.key("ctrl+a")
        self.s.type_text("50")
        dialog.click(372, 328)          # キャンセル
        self.s.wait_no_window(dialog)
        self.assertEqual(read_bytes(self.app.settings_path), before)

        self.choose("Edit1", "EditStteings1")
        dialog = self.app.window("^設定処理$")
        dialog.click(224, 301)
        self.s.key("ctrl+a")
        self.s.type_text("7")
        dialog.click(284, 328)          # OK
        self.s.wait_no_window(dialog)
        settings = read_bytes(self.app.settings_path)
        self.assertIn(b"NumberOfCharsToSave=7\r\n", settings)
        # OK stores the tree's folder, on a first showing its root: the home folder here.
        home = self.s.env["HOME"]
        self.assertIn(b"Dir=" + os.fsencode(home) + b"\r\n", settings)
        # The new settings are in force: seven characters save the entry there.
        self.win.click_widget("memToday")
        self.s.type_text("seven!!")
        d = self.day
        wait_for_bytes(entry_path(home, d.year, d.month, d.day), b"seven!!")
        self.finish()

    def printing_mapped(self):
        with open("/proc/%d/maps" % self.app.pid) as maps:
            return "libQt6PrintSupport" in maps.read()

    def test_printer_setup_loads_its_library_only_when_it_runs(self):
        self.start_main()
        self.assertFalse(self.printing_mapped())
        for _ in range(2):
            self.choose("File1", "Print1")
            dialog = self.app.window("^プリンタの設定$")
            self.shoot("printer-setup")
            self.assertTrue(self.printing_mapped())
            self.s.key("Escape")
            self.s.wait_no_window(dialog)
        self.finish()


if __name__ == "__main__":
    unittest.main()
