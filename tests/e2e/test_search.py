#!/usr/bin/python3
"""Searching the whole diary as a person does: Ctrl+F, a query, the rows, the days shown."""

import datetime
import signal
import unittest

from harness import OrluneTestCase, diary_bytes, wait_until, write_entry

WEEKDAYS = "月火水木金土日"


def day_text(date):
    return "%d/%d/%d(%s)" % (date.year, date.month, date.day, WEEKDAYS[date.weekday()])


class SearchTest(OrluneTestCase):
    def open_search(self):
        self.s.key("ctrl+f")
        search = self.app.window("日記の検索")
        wait_until(lambda: self.s.active_window() == search.id, 10, "the search window active")
        return search

    def type_query(self, text):
        """Pastes text over the selected query, as a person types Japanese."""
        self.s.set_clipboard(text)
        self.s.key("ctrl+v")

    def row(self, timeout=5):
        """The selected row of the results, copied; None when nothing is selected."""
        self.s.set_clipboard("(nothing copied)")
        self.s.key("ctrl+c")
        try:
            return self.s.wait_until_clipboard_changes("(nothing copied)", timeout=timeout)
        except AssertionError:
            return None

    def first_row(self):
        """Down from the query field once rows are listed: the first row, selected."""
        def selected():
            self.s.key("Down")
            return self.row(timeout=1)
        return wait_until(selected, 15, "the first row of the results")

    def memtoday_text(self):
        """What memToday shows, copied with the focus where the program left it."""
        self.s.set_clipboard("(nothing copied)")
        self.s.key("ctrl+a", "ctrl+c")
        return self.s.wait_until_clipboard_changes("(nothing copied)", timeout=5)

    def test_query_rows_and_days_shown(self):
        y = self.day.year
        canada = datetime.date(y - 1, 3, 5)
        halfwidth = datetime.date(y - 3, 7, 1)
        broken = datetime.date(y - 4, 1, 1)
        write_entry(self.diary, canada.year, 3, 5, "カナダの友人と会った。")
        kept = "%s/%d/0305.conflict-%d0305-101010.txt" % (self.diary, canada.year, canada.year)
        with open(kept, "wb") as f:
            f.write(diary_bytes("かなだから手紙"))
        write_entry(self.diary, halfwidth.year, 7, 1, "ｶﾅﾀﾞへ行った")
        # Bytes that are not code page 932 before and inside the text.
        write_entry(self.diary, broken.year, 1, 1,
                    b"\xff\xfe" + diary_bytes("カナ") + b"\xa0\x80" + diary_bytes("カナダ"))
        self.start_main()

        self.open_search()
        self.type_query("かなだ")
        self.assertTrue(self.first_row().startswith(day_text(canada) + " 1件"))
        self.shoot("search-rows")
        # Enter in the field: the newest result's day, as a click on the calendar shows it.
        self.s.key("shift+Tab", "Return")
        self.s.key("Escape")
        self.s.wait_no_window("日記の検索", pid=self.app.pid)
        wait_until(lambda: self.memtoday_text() == "カナダの友人と会った。", 10,
                   "the newest result's day in memToday")

        # A second Ctrl+F: the window again, the query kept and selected.
        search = self.open_search()
        self.assertTrue(self.first_row().startswith(day_text(canada) + " 1件"))
        self.s.key("Down")
        self.assertTrue(self.row().startswith(day_text(canada) + "（別の版） 1件 かなだから手紙"))
        self.s.key("Down")
        self.assertTrue(self.row().startswith(day_text(halfwidth) + " 1件 ｶﾅﾀﾞへ行った"))
        self.s.key("Down")
        self.assertTrue(self.row().startswith(day_text(broken) + " 1件 "))
        self.s.key("Up")
        self.s.key("Return")
        # The window stays open after showing a day; Esc gives memToday the focus.
        self.assertEqual(self.s.active_window(), search.id)
        self.s.key("Escape")
        wait_until(lambda: self.memtoday_text() == "ｶﾅﾀﾞへ行った", 10, "the chosen row's day")

        # F3 in the main window, the search window still open: the next result's day.
        self.open_search()
        self.first_row()
        self.s.key("Return")
        self.win.activate()
        wait_until(lambda: self.memtoday_text() == "カナダの友人と会った。", 10, "the newest day")
        self.s.key("F3", "F3")
        wait_until(lambda: self.memtoday_text() == "ｶﾅﾀﾞへ行った", 10, "F3 twice")
        self.s.key("ctrl+End")
        self.shoot("search-marks")

        # The open search window keeps the program from ending no more than any other.
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)

    def test_finds_typing_not_saved_yet(self):
        self.start_main(chars_to_save=99)
        self.win.click_widget("memToday")
        self.s.set_clipboard("カナダへ旅行")
        self.s.key("ctrl+v")
        self.open_search()
        self.type_query("かなだ　旅行")
        self.assertTrue(self.first_row().startswith(day_text(self.day) + " 2件 カナダへ旅行"))
        self.shoot("search-typing")


if __name__ == "__main__":
    unittest.main()
