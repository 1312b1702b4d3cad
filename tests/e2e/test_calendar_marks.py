#!/usr/bin/python3
"""The calendar marks the days that have an entry, as a person sees them: a day's cell before and
after its entry appears (by the person's save and by another writer) and after it goes away,
compared picture against picture."""

import os
import signal
import time
import unittest

from harness import OrluneTestCase, calendar_day_point, entry_path, wait_until, write_entry


class CalendarMarksTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        # Another day of the shown month, away from the selected one.
        self.other = 1 if self.day.day > 2 else 3
        self.start_main()

    def cell(self, day):
        """One day's cell of the calendar as raw RGB bytes, once two grabs agree."""
        cx, cy = calendar_day_point(self.day.year, self.day.month, day)
        x, y = self.win.root_point(*self.win.widget_point("Calendar1", cx - 16, cy - 13))
        last = [None]

        def same_twice():
            shown, last[0] = last[0], self.s.grab(x, y, 33, 27, "rgb")
            return shown == last[0] and shown

        return wait_until(same_twice, 5, "the cell of day %d to stand still" % day)

    def wait_cell(self, day, predicate, what):
        started = time.monotonic()
        try:
            wait_until(lambda: predicate(self.cell(day)), 5, what)
        finally:
            self.shoot(what.replace(" ", "-"))
        return time.monotonic() - started

    def test_marks_follow_saves_and_other_writers(self):
        d, other = self.day, self.other
        blank = self.cell(other)
        unsaved = self.cell(d.day)

        # Another writer's entry this year: a mark appears, then goes with the file.
        path = write_entry(self.diary, d.year, d.month, other, "ほかの端末で書いた\n")
        took = self.wait_cell(other, lambda now: now != blank, "entry appears")
        self.assertLess(took, 2.0, "the mark must follow another writer within about a second")
        this_year = self.cell(other)
        os.remove(path)
        self.wait_cell(other, lambda now: now == blank, "entry goes away")

        # Only a year before: another mark than this year's.
        path = write_entry(self.diary, d.year - 1, d.month, other, "去年の日記\n")
        self.wait_cell(other, lambda now: now not in (blank, this_year), "earlier entry appears")
        os.remove(path)
        self.wait_cell(other, lambda now: now == blank, "earlier entry goes away")

        # The person's own save creates the selected day's entry.
        self.win.click_widget("memToday")
        self.s.type_text("today")
        self.assertEqual(self.cell(d.day), unsaved, "typing alone is not yet an entry")
        self.s.key("Tab")
        self.wait_cell(d.day, lambda now: now != unsaved, "saved entry appears")
        self.assertTrue(os.path.exists(entry_path(self.diary, d.year, d.month, d.day)))

        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main()
