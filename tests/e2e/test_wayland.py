#!/usr/bin/python3
"""The program on Qt's Wayland platform, under a headless sway with no X server to fall back on."""

import os
import unittest

from harness import Session, diary_bytes, wait_until
from userdesktop import Sway, UserDesktop, diary_entries

WIDTH = 792
CLIENT_HEIGHT = 594


class WaylandTest(unittest.TestCase):
    def setUp(self):
        self.s = Session(window_manager=False, watchdog=120)
        self.addCleanup(self.s.stop)
        self.diary = self.s.path("diary")
        os.makedirs(self.diary)
        self.user = UserDesktop(self.s, bus=False)
        self.sway = Sway(self.user)

    def entries(self):
        return list(diary_entries(self.diary).values())

    def test_starts_keeps_its_size_types_and_saves(self):
        app = self.user.start_orlune(self.diary, chars_to_save=20,
                                     env=dict(self.sway.env, QT_QPA_PLATFORM="wayland"))
        node = wait_until(lambda: self.sway.tree_node(app.pid), 15, "Orlune's window in sway")
        self.assertEqual(node["shell"], "xdg_shell")
        self.assertEqual(node["name"], "Orlune")
        wait_until(lambda: self.sway.tree_node(app.pid)["focused"], 10, "the window focused")
        width, height = node["geometry"]["width"], node["geometry"]["height"]
        self.assertEqual(width, WIDTH)
        self.assertGreater(height, CLIENT_HEIGHT)  # the menu bar above the fixed client area

        # Asked to take another size, the window keeps its own.
        self.sway.msg("[pid=%d]" % app.pid, "resize", "set", "400", "300")
        self.sway.type_text("abcdefghijklmnop日記")
        wait_until(lambda: self.entries() == [diary_bytes("abcdefghijklmnop日記")], 10,
                   "the 20 bytes saved by the interval")
        geometry = self.sway.tree_node(app.pid)["geometry"]
        self.assertEqual((geometry["width"], geometry["height"]), (width, height))

        # The compositor's close goes through the close query, which saves.
        self.sway.type_text("!")
        self.sway.msg("[pid=%d]" % app.pid, "kill")
        self.assertEqual(app.wait_exit(), 0)
        self.assertEqual(self.entries(), [diary_bytes("abcdefghijklmnop日記!")])


if __name__ == "__main__":
    unittest.main()
