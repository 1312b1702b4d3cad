#!/usr/bin/python3
"""The program on Qt's Wayland platform, under a headless sway with no X server to fall back on."""

import os
import unittest

from harness import Session, diary_bytes, wait_until
from userdesktop import Sway, UserDesktop, diary_entries

WIDTH = 792
CLIENT_HEIGHT = 594
# Qt 6.4 hangs in some closes (one in ten or so here) while disconnecting from the compositor.
CLOSES = 30


class WaylandTest(unittest.TestCase):
    def setUp(self):
        self.s = Session(window_manager=False, watchdog=150)
        self.addCleanup(self.s.stop)
        self.diary = self.s.path("diary")
        os.makedirs(self.diary)
        self.user = UserDesktop(self.s, bus=False)
        self.sway = Sway(self.user)
        self.runs = 0

    def entries(self):
        return list(diary_entries(self.diary).values())

    def start(self):
        self.runs += 1
        app = self.user.start_orlune(self.diary, chars_to_save=20, name="app%d" % self.runs,
                                     env=dict(self.sway.env, QT_QPA_PLATFORM="wayland"))
        wait_until(lambda: (self.sway.tree_node(app.pid) or {}).get("focused"), 15,
                   "Orlune's window in sway, focused")
        return app

    def close(self, app):
        """Closes the window as the compositor's close command does; the program must end."""
        self.sway.msg("[pid=%d]" % app.pid, "kill")
        self.assertEqual(app.wait_exit(), 0, app.output())

    def test_starts_keeps_its_size_types_and_saves(self):
        app = self.start()
        node = self.sway.tree_node(app.pid)
        self.assertEqual(node["shell"], "xdg_shell")
        self.assertEqual(node["name"], "Orlune")
        width, height = node["geometry"]["width"], node["geometry"]["height"]
        self.assertEqual(width, WIDTH)
        self.assertGreater(height, CLIENT_HEIGHT)  # the menu bar above the fixed client area

        # Asked to take another size, the window keeps its own.
        self.sway.msg("[pid=%d]" % app.pid, "resize", "set", "400", "300")
        self.sway.type_text("abcdefghijklmnop日記")
        # Typed through the compositor by another process: a busy machine can take long.
        typed = [diary_bytes("abcdefghijklmnop日記")]
        try:
            wait_until(lambda: self.entries() == typed, 30, "the 20 bytes saved by the interval")
        except AssertionError:
            self.assertEqual(self.entries(), typed)  # what was saved instead
            raise
        geometry = self.sway.tree_node(app.pid)["geometry"]
        self.assertEqual((geometry["width"], geometry["height"]), (width, height))

        # The compositor's close ends the program through the close query. The entry taken
        # away behind the program's back stays away: the pane holds nothing that was not on
        # disk, and such a pane is never saved. (A key typed just before the close can reach
        # the program after it, so the test closes on text known to be in the pane.)
        os.remove(os.path.join(self.diary, *next(iter(diary_entries(self.diary))).split("/")))
        self.close(app)
        # By name: an entry, a copy, a temporary.
        self.assertEqual(diary_entries(self.diary, temporaries=True), {})

    def test_ends_every_time_the_compositor_closes_it(self):
        for run in range(CLOSES):
            self.close(self.start())


if __name__ == "__main__":
    unittest.main()
