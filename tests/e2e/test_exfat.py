#!/usr/bin/python3
"""The diary on a real exFAT file system (a USB stick as people carry it): no swap of names, no
hard or symbolic links, no modes. The program saves there, keeps a version another writer put
there before replacing it, and a termination with the stick's flushes hanging keeps the typing
in the local rescue folder. Run through scripts/with-exfat, which mounts the file system (FUSE,
from an image on a loop device) and names it in ORLUNE_EXFAT_MOUNT; without it the test fails
saying so."""

import os
import signal
import tempfile
import unittest

from harness import (OrluneTestCase, day_files, diary_bytes, entry_path, read_bytes, shim,
                     temporaries, wait_for_bytes, wait_until, write_entry)

TYPED = "saved on the stick!!"  # 20 bytes: the autosave interval


def exfat_mount():
    mount = os.environ.get("ORLUNE_EXFAT_MOUNT", "")
    if not mount or not os.path.ismount(mount):
        raise AssertionError(
            "no exFAT file system mounted: run this test through scripts/with-exfat "
            "(ORLUNE_EXFAT_MOUNT=%r)" % mount)
    with open("/proc/self/mounts") as mounts:
        kinds = [line.split()[2] for line in mounts if line.split()[1] == mount]
    if not kinds or not kinds[-1].startswith("fuse"):
        raise AssertionError("%s is not the FUSE exFAT mount (%r)" % (mount, kinds))
    return mount


class ExfatTest(OrluneTestCase):
    def setUp(self):
        super().setUp()
        # A diary of its own on the shared mount, for each test.
        self.diary = tempfile.mkdtemp(prefix="diary-", dir=exfat_mount())
        self.entry = entry_path(self.diary, self.day.year, self.day.month, self.day.day)

    def test_it_is_a_file_system_without_links(self):
        path = os.path.join(self.diary, "probe")
        open(path, "wb").close()
        with self.assertRaises(OSError):
            os.link(path, path + ".link")
        with self.assertRaises(OSError):
            os.symlink(path, path + ".symlink")

    def test_saves_and_keeps_another_writers_version(self):
        write_entry(self.diary, self.day.year, self.day.month, self.day.day, "mine")
        self.start_main()
        self.win.click_widget("memToday")
        self.s.key("ctrl+End")
        self.s.type_text(" typed")
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_clipboard("mine typed")
        # Another writer (a synchroniser) replaces the entry by a rename while the typing is
        # not saved yet.
        other = os.path.join(os.path.dirname(self.entry), "incoming.tmp")
        with open(other, "wb") as f:
            f.write(diary_bytes("their longer version"))
        os.rename(other, self.entry)
        # Leaving the pane saves it: the other version is kept first.
        self.win.click_widget("mem1YearAgo")
        self.answer_box()
        files = day_files(self.diary, self.day)
        name = os.path.basename(self.entry)
        self.assertEqual(files.pop(name), diary_bytes("mine typed"))
        self.assertEqual(list(files.values()), [diary_bytes("their longer version")],
                         "the other version kept beside the entry: %r" % list(files))
        self.win.click_widget("memToday")
        self.s.key("ctrl+End")
        self.s.type_text("!" * 10)  # 20 bytes: saved at once
        wait_for_bytes(self.entry, diary_bytes("mine typed" + "!" * 10))
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(), 0)
        self.assertEqual(temporaries(self.diary, self.day), [])
        self.assertFalse(os.path.exists(self.s.rescue_folder()))

    def test_termination_with_flushes_hanging_rescues_the_typing(self):
        os.makedirs(os.path.dirname(self.entry))
        hold = self.s.path("flushes-hang")
        open(hold, "wb").close()
        self.addCleanup(lambda: os.path.exists(hold) and os.remove(hold))
        self.start_main(preload=[shim("orlune_failflush")], env={
            "ORLUNE_FAIL_FLUSH_UNDER": self.diary,
            "ORLUNE_HOLD_FLUSH_WHILE": hold,
            "ORLUNE_HOLD_FLUSH_FOREVER": "1",
        })
        self.win.click_widget("memToday")
        self.s.type_text(TYPED)
        wait_until(lambda: temporaries(self.diary, self.day), 10, "the save to be staged")
        self.s.type_text(" more")
        self.s.key("ctrl+a", "ctrl+c")
        self.s.wait_clipboard(TYPED + " more")
        self.app.signal(signal.SIGTERM)
        self.assertEqual(self.app.wait_exit(timeout=30), 0)
        folder = self.s.rescue_folder()
        rescued = [read_bytes(os.path.join(folder, n)) for n in sorted(os.listdir(folder))]
        self.assertEqual(rescued, [diary_bytes(TYPED + " more")])
        self.assertIsNone(read_bytes(self.entry))


if __name__ == "__main__":
    unittest.main()
