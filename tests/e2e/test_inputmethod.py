#!/usr/bin/python3
"""Japanese typed as a person types it: romaji on the keyboard, through fcitx5 or IBus, with
Mozc."""

import signal
import unittest

import datetime

from harness import LAYOUT, OrluneTestCase, diary_bytes, wait_until, write_entry
from userdesktop import Fcitx, IBus, UserDesktop, diary_entries, read_screen

# 14 bytes typed directly. No letter reaches below the line, so the lowest ink of the first
# line is the composition's underline.
PREFIX = "abcdefhiklmnor"


def wider_than(characters):
    """A width that so many kana at the pane's font exceed and one fewer do not (each kana is
    12 to 14 pixels wide)."""
    return characters * 25 // 2 - 5


THREE_CHARACTERS = wider_than(3)
# How far the candidate window may stand from the caret's foot.
NEAR = 4


class TypingTest(OrluneTestCase):
    watchdog = 150

    def start(self, im, chars_to_save):
        self.im = im
        self.app = self.user.start_orlune(self.diary, chars_to_save=chars_to_save,
                                          env=im.client_env())
        self.win = self.app.main_window()
        self.win.activate()
        self.win.click_widget("memToday")

    def entries(self):
        return diary_entries(self.diary)

    def wait_entries(self, expected, what):
        wait_until(lambda: list(self.entries().values()) == [expected], 10, what)

    def pane(self):
        x, y, width, height = LAYOUT["memToday"]
        left, top = self.win.root_point(*self.win.client_point(x, y))
        return left + 2, top + 2, width - 4, height - 4

    def candidate_window(self):
        return self.im.candidate_window()

    def first_line(self):
        """The ink of the pane's first line above the candidate window: its rows, and the
        lowest row's first and last inked column."""
        candidate = self.candidate_window()
        left, top, width, height = self.pane()
        bottom = min(candidate[1], top + height) if candidate else top + 32
        screen = read_screen(self.s, left, top, width, bottom - top)
        columns = range(left, left + width)
        rows = [y for y in range(top, bottom) if any(screen.ink(x, y) for x in columns)]
        if not rows:
            return None
        inked = [x for x in columns if screen.ink(x, rows[-1])]
        return {"screen": screen, "candidate": candidate, "top": rows[0], "lowest": rows[-1],
                "start": inked[0], "end": inked[-1]}

    def wait_composition(self):
        """Waits until the composition is underlined in the pane and Mozc's candidate window
        stands at the caret, just below the line: where the pane says its cursor is."""
        seen = {}

        def beside_caret():
            line = self.first_line()
            seen["line"] = line and {k: v for k, v in line.items() if k != "screen"}
            if not line or not line["candidate"]:
                return None
            x, y, _, _ = line["candidate"]
            underline = line["end"] - line["start"]
            if (underline >= THREE_CHARACTERS and abs(x - line["end"]) <= NEAR
                    and 0 <= y - line["lowest"] <= NEAR):
                return line
            return None

        try:
            return wait_until(beside_caret, 15, "the candidate window beside the caret")
        except AssertionError as e:
            self.shoot("composition")
            raise AssertionError("%s; last seen %r" % (e, seen.get("line")))


class FcitxTest(TypingTest):
    def setUp(self):
        super().setUp()
        self.user = UserDesktop(self.s)
        self.start(Fcitx(self.user), chars_to_save=20)

    def test_composition_shows_inline_and_counts_only_once_committed(self):
        self.s.type_text(PREFIX)
        self.im.switch_on()
        self.s.type_text("nikki")
        composing = self.wait_composition()
        self.shoot("composing")
        # 14 bytes typed and 6 composed would reach the interval of 20: nothing is saved.
        self.assertEqual(diary_entries(self.diary, temporaries=True), {})

        # The characters shown while composing are the ones confirmed by Return.
        glyphs = (self.pane()[0], composing["end"] - 2, composing["top"], composing["lowest"])
        self.s.key("Return")
        self.wait_entries(diary_bytes(PREFIX + "にっき"), "the 20 bytes saved by the interval")

        def same_characters_without_underline():
            line = self.first_line()
            return (line and line["lowest"] < composing["lowest"]
                    and line["screen"].rows(*glyphs) == composing["screen"].rows(*glyphs))

        wait_until(same_characters_without_underline, 10, "the confirmed text as it was shown")

        # Converted but not confirmed when the session ends: saved with the rest.
        self.s.type_text("kyou")
        self.s.key("space")
        left, top, width, _ = self.pane()

        def converted():
            screen = read_screen(self.s, left, top, width, 24)
            return any(screen.is_blue(x, y) for x in range(composing["end"], left + width)
                       for y in range(top, top + 24))

        wait_until(converted, 10, "the conversion to be highlighted")
        self.shoot("converted")
        self.assertEqual(list(self.entries().values()), [diary_bytes(PREFIX + "にっき")])
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(list(self.entries().values()), [diary_bytes(PREFIX + "にっき今日")])

    def test_leaving_the_pane_confirms_the_composition(self):
        self.im.switch_on()
        self.s.type_text("nikki")
        self.wait_composition()
        self.assertEqual(diary_entries(self.diary, temporaries=True), {})
        self.win.click_widget("mem1YearAgo")
        self.wait_entries(diary_bytes("にっき"), "the composition saved on leaving")
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(list(self.entries().values()), [diary_bytes("にっき")])

    def test_search_for_a_wave_dash_typed_finds_the_one_windows_stores(self):
        # Code page 932 files hold the wave dash as 8160, which decodes to U+FF5E.
        day = datetime.date(self.day.year - 1, 3, 5)
        write_entry(self.diary, day.year, day.month, day.day, "10時～11時に会議")
        self.s.key("ctrl+f")
        search = self.app.window("日記の検索")
        wait_until(lambda: self.s.active_window() == search.id, 10, "the search window active")
        # Into the query field as a person would, then Mozc on; a switch pressed before fcitx5
        # knows the new field has the focus goes to the field instead, so it is pressed again.
        search.click(100, 20)
        for _ in range(5):
            self.s.key("ctrl+space")
            try:
                wait_until(lambda: self.im.state() == "active", 2, "Mozc to be switched on")
                break
            except AssertionError:
                pass
        self.assertEqual(self.im.state(), "active")
        self.s.type_text("~")
        self.s.key("Return")

        def copied(*keys):
            self.s.set_clipboard("(nothing copied)")
            self.s.key(*keys)
            try:
                return self.s.wait_until_clipboard_changes("(nothing copied)", timeout=1)
            except AssertionError:
                return None

        # Mozc types the wave dash as U+301C.
        self.assertEqual(copied("ctrl+a", "ctrl+c"), "\u301c")
        def result_row():
            # Down before the results are listed leaves the focus in the query, which is copied.
            text = copied("Down", "ctrl+c")
            return text if text and text != "\u301c" else None

        row = wait_until(result_row, 15, "a row of the results")
        self.shoot("wave-dash")
        self.assertTrue(row.startswith("%d/3/5(" % day.year), row)
        self.assertIn("10時～11時に会議", row)


class IBusTest(TypingTest):
    def setUp(self):
        super().setUp()
        self.user = UserDesktop(self.s)
        ibus = IBus(self.user)
        self.start(ibus, chars_to_save=6)
        ibus.switch_to_mozc()

    def wait_composed(self, characters, row=None):
        """Waits until so many characters are underlined at the end of the first line (on row,
        when given); Mozc's own candidate window does not always open for the first word."""
        def composed():
            line = self.first_line()
            if (line and line["end"] - line["start"] >= wider_than(characters)
                    and (row is None or line["lowest"] == row)):
                return line
            return None

        return wait_until(composed, 10, "%d characters composed" % characters)

    def test_composition_counts_once_confirmed_and_is_saved_at_sigterm(self):
        self.s.type_text("nikki")
        underline = self.wait_composed(3)["lowest"]
        self.assertEqual(diary_entries(self.diary, temporaries=True), {})
        self.s.key("Return")
        self.wait_entries(diary_bytes("にっき"), "the 6 bytes saved by the interval")
        # 6 and 8 bytes: not a multiple of the interval, so only the close can save it.
        self.s.type_text("kyouha")
        self.wait_composed(4, underline)
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(list(self.entries().values()), [diary_bytes("にっききょうは")])


if __name__ == "__main__":
    unittest.main()
