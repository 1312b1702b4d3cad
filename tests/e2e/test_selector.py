#!/usr/bin/python3
"""The year/month selector by mouse, by keys and by typed text."""

import calendar
import signal
import unittest

from harness import OrluneTestCase, write_entry


class SelectorTest(OrluneTestCase):
    def today_pane(self):
        """The editable pane's text, read through the clipboard."""
        self.s.set_clipboard("probe")
        self.win.click_widget("memToday")
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_until_clipboard_changes("probe")
        return self.s.clipboard()

    def mark_years(self, month, day):
        for year in range(self.day.year - 4, self.day.year + 5):
            write_entry(self.diary, year, month, day, "year %d" % year)

    def finish(self):
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)

    def test_choosing_an_entry_by_mouse_moves_to_its_year(self):
        self.mark_years(self.day.month, self.day.day)
        self.start_main()
        self.win.click_widget("cmbYearMonth", dx=96)
        popup = self.s.wait_menu()
        x, y, width, height = popup.geometry()
        # Eight rows show; scrolled to the top the third is two years back.
        row = height // 8
        for _ in range(3):
            self.s.click(x + width // 2, y + row // 2, button=4)
        self.shoot("list")
        self.s.click(x + width // 2, y + 2 * row + row // 2)
        self.s.wait_no_menu()
        self.assertEqual(self.today_pane(), "year %d" % (self.day.year - 2))
        self.finish()

    def test_choosing_an_entry_by_keys_moves_to_its_year(self):
        self.mark_years(self.day.month, self.day.day)
        self.start_main()
        self.win.click_widget("cmbYearMonth", dx=20)
        self.s.key("alt+Down")
        self.s.wait_menu()
        self.s.key("Down", "Return")
        self.s.wait_no_menu()
        self.assertEqual(self.today_pane(), "year %d" % (self.day.year + 1))
        self.finish()

    def test_typed_year_and_month_in_december_moves_there(self):
        for d in range(1, 32):
            write_entry(self.diary, 2024, 1, d, "2024/1/%d" % d)
        self.start_main()
        for _ in range((12 - self.day.month) % 12):
            self.win.click_widget("btnNextMonth")
        day = min([self.day.day] + [calendar.monthrange(self.day.year, m)[1]
                                    for m in range(self.day.month, 13)])
        self.win.click_widget("cmbYearMonth", dx=20)
        self.s.key("ctrl+a")
        self.s.type_text("2024/1")
        self.shoot("typed")
        self.s.key("Return")
        self.assertEqual(self.today_pane(), "2024/1/%d" % day)
        self.finish()

    def test_other_confirmed_text_is_not_an_integer(self):
        write_entry(self.diary, self.day.year, self.day.month, self.day.day, "this year")
        self.start_main()
        self.win.click_widget("cmbYearMonth", dx=20)
        self.s.key("ctrl+a")
        self.s.type_text("2024-1")
        self.s.key("Return")
        # The error report: a box titled after the program ("'2024-1' は整数ではありません.").
        box = self.s.wait_window("^Orlune$", pid=self.app.pid, others_than=[self.win])
        self.shoot("error")
        self.s.key("Return")
        self.s.wait_no_window(box)
        self.assertEqual(self.today_pane(), "this year")
        self.finish()


if __name__ == "__main__":
    unittest.main()
