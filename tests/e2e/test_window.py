#!/usr/bin/python3
"""The main window under a real window manager, and the first run."""

import os
import signal
import sys
import time
import unittest

from harness import MAIN_TITLE, SETTINGS_TITLE, OrluneTestCase, wait_until


class WindowTest(OrluneTestCase):
    def test_main_window_stands_at_36_110_and_cannot_be_resized(self):
        app = self.s.start_orlune(diary=self.diary)
        win = app.main_window()
        self.assertEqual(win.frame_geometry()[:2], (36, 110))
        x, y, width, height = win.geometry()
        self.assertEqual(width, 792)
        hints = win.size_hints()
        self.assertIn("program specified minimum size: 792 by %d" % height, hints)
        self.assertIn("program specified maximum size: 792 by %d" % height, hints)
        # The window manager offers no resize: no border drag, no maximise.
        allowed = win.prop("_NET_WM_ALLOWED_ACTIONS")
        self.assertIn("_NET_WM_ACTION_MOVE", allowed)
        self.assertNotIn("_NET_WM_ACTION_RESIZE", allowed)
        self.assertNotIn("_NET_WM_ACTION_MAXIMIZE", allowed)
        self.shoot("main")
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)

    def test_toolbar_tooltip_shows_after_the_pointer_rests_and_hides_again(self):
        app = self.s.start_orlune(diary=self.diary)
        win = app.main_window()
        win.activate()
        win.move_to_widget("tbtnSettings")
        win.move_to_widget("tbtnEditCut")
        rested = time.monotonic()
        wait_until(self.s.tooltip_windows, 10, "the tooltip")
        shown = time.monotonic()
        self.shoot("tooltip")
        wait_until(lambda: not self.s.tooltip_windows(), 15, "the tooltip to hide")
        # Figures, not assertions: the machine's load moves them.
        sys.stderr.write("tooltip after %.0f ms, shown for %.0f ms\n"
                         % ((shown - rested) * 1000, (time.monotonic() - shown) * 1000))
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)

    def test_first_run_opens_the_settings_dialog_and_sigterm_ends_it(self):
        app = self.s.start_orlune(settings=False)
        dialog = app.window("^%s$" % SETTINGS_TITLE)
        self.assertEqual(self.s.windows("^%s$" % MAIN_TITLE, app.pid), [])
        self.shoot("first-run")
        # A termination request ends it at once, with nothing to save and nothing stored.
        app.signal(signal.SIGTERM)
        self.assertEqual(app.wait_exit(), 0)
        self.assertFalse(os.path.exists(app.settings_path))


if __name__ == "__main__":
    unittest.main()
