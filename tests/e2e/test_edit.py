#!/usr/bin/python3
"""Cut, copy and paste as a person reaches them: the menu by mouse and by mnemonic, the
toolbar and the shortcuts, in the editable pane and a read-only one."""

import signal
import unittest

from harness import (OrluneTestCase, diary_bytes, entry_path, menu_item_enabled, menu_item_point,
                     write_entry)

TEXT = "hello world"
PAST = "last year"


class EditTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        d = self.day
        write_entry(self.diary, d.year, d.month, d.day, TEXT)
        write_entry(self.diary, d.year - 1, d.month, d.day, PAST)
        self.start_main()

    def entry(self, back=0):
        d = self.day
        return entry_path(self.diary, d.year - back, d.month, d.day)

    def select_all_in(self, pane):
        self.win.click_widget(pane)
        self.s.key("ctrl+a")

    def pane_text(self, pane):
        """What the pane holds, read through the clipboard."""
        self.s.set_clipboard("\u0000probe")
        self.select_all_in(pane)
        self.s.key("ctrl+c")
        return self.s.clipboard()

    def edit_states(self, menu):
        return {item: menu_item_enabled(menu, "Edit1", item)
                for item in ("Cut1", "Copy1", "Paste1")}

    def choose(self, menu, item):
        menu.click(*menu_item_point("Edit1", item))
        self.s.wait_no_menu()

    def save_by_leaving(self):
        # The focus leaving the editable pane saves it.
        self.win.click_widget("mem2YearsAgo")

    def finish(self):
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)

    def test_menu_by_mouse_follows_the_focused_pane(self):
        self.s.set_clipboard("pasted ")
        self.select_all_in("memToday")
        menu = self.win.open_menu("Edit1")
        self.assertEqual(self.edit_states(menu), {"Cut1": True, "Copy1": True, "Paste1": True})
        self.shoot("edit-menu")
        self.choose(menu, "Cut1")
        self.s.wait_clipboard(TEXT)
        self.s.set_clipboard("pasted ")
        self.win.click_widget("memToday")
        menu = self.win.open_menu("Edit1")
        self.assertEqual(self.edit_states(menu), {"Cut1": False, "Copy1": False, "Paste1": True})
        self.choose(menu, "Paste1")
        self.save_by_leaving()
        self.s.wait_for_bytes(self.entry(), b"pasted ")
        self.finish()

    def test_menu_by_mnemonic_follows_the_focused_pane(self):
        self.select_all_in("memToday")
        self.s.key("alt+e")
        menu = self.s.wait_menu()
        self.assertEqual(self.edit_states(menu)["Cut1"], True)
        self.assertEqual(self.edit_states(menu)["Copy1"], True)
        self.shoot("edit-menu-mnemonic")
        self.s.key("c")
        self.s.wait_no_menu()
        self.s.wait_clipboard(TEXT)
        self.s.key("End", "space", "alt+e")
        self.s.wait_menu()
        self.s.key("p")
        self.save_by_leaving()
        self.s.wait_for_bytes(self.entry(), diary_bytes(TEXT + " " + TEXT))
        self.finish()

    def test_toolbar_and_shortcuts_in_the_editable_pane(self):
        self.select_all_in("memToday")
        self.assertTrue(self.win.tool_enabled("tbtnEditCut"))
        self.win.click_widget("tbtnEditCut")
        self.s.wait_clipboard(TEXT)
        self.assertFalse(self.win.tool_enabled("tbtnEditCut"))
        self.win.click_widget("tbtnEditPaste")
        self.win.click_widget("tbtnEditPaste")
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_clipboard(TEXT + TEXT)
        self.s.key("ctrl+x")
        self.s.set_clipboard("short")
        self.s.key("ctrl+v")
        self.save_by_leaving()
        self.s.wait_for_bytes(self.entry(), b"short")
        self.finish()

    def test_read_only_pane_copies_but_never_changes(self):
        self.s.set_clipboard("sentinel")
        self.select_all_in("mem1YearAgo")
        menu = self.win.open_menu("Edit1")
        self.assertEqual(self.edit_states(menu), {"Cut1": True, "Copy1": True, "Paste1": True})
        self.choose(menu, "Cut1")
        self.win.click_widget("tbtnEditPaste")
        self.s.key("ctrl+x", "ctrl+v")
        # The menu opening again shows the commands above have been handled.
        self.s.key("alt+e")
        self.s.wait_menu()
        self.s.key("Escape")
        self.s.wait_no_menu()
        self.assertEqual(self.s.clipboard(), "sentinel")
        self.win.click_widget("tbtnEditCopy")
        self.s.wait_clipboard(PAST)
        self.finish()
        self.assertEqual(self.s.read(self.entry(1)), diary_bytes(PAST))
        self.assertEqual(self.s.read(self.entry()), diary_bytes(TEXT))

    def test_edit_commands_are_greyed_with_the_focus_on_the_calendar(self):
        self.s.set_clipboard("sentinel")
        self.win.click_widget("Calendar1", 5, 5)
        menu = self.win.open_menu("Edit1")
        self.assertEqual(self.edit_states(menu),
                         {"Cut1": False, "Copy1": False, "Paste1": False})
        self.s.key("Escape")
        self.s.wait_no_menu()
        self.assertFalse(self.win.tool_enabled("tbtnEditPaste"))
        self.finish()


if __name__ == "__main__":
    unittest.main()
