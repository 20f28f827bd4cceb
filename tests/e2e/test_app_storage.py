"""An app's storage and window across runs: persistent storage in its data folder (kept apart
per id, private), in memory without the key, and the main window's size and maximized state
remembered."""

import json
import os
import stat
import unittest

from harness import ShellTestCase, wait_for
from test_storage import STORAGE_PAGE


class AppStorageTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.server.add_page("/storage", STORAGE_PAGE)
        self.env = self.app_env()
        self.home = self.env["HOME"]

    def run_once(self, keys, mode, close=None):
        """One run on the storage page: what it reported; `close` ends the run (default: the
        window closed as a user closes it)."""
        shell = self.start("--url=" + self.url("/storage?" + mode), project=self.projects[keys],
                           env=self.env, variant=False)
        result = self.wait_report(mode, count=len(self.server.values(mode)) + 1)[-1]
        window = self.wait_windows(shell, 1)[0]
        if close:
            close(shell)
        else:
            self.close_window(window)
        self.assertEqual(shell.wait(), 0)
        return result

    def test_storage_persists_per_id_and_stays_in_memory_without_the_key(self):
        self.projects = {k: self.make_project(k) for k in (
            '{"id": "dev.example.keep", "storage": "persistent"}',
            '{"id": "dev.example.other", "storage": "persistent"}',
            '{"id": "dev.example.memory"}',
            '{"storage": "persistent"}')}
        keep, other, memory, no_id = list(self.projects)
        written, empty = "local=v cookie=true idb=v", "local=null cookie=false idb=undefined"
        self.assertEqual(self.run_once(keep, "write"), "written")
        self.assertEqual(self.run_once(keep, "read"), written)
        # A termination signal keeps it too.
        self.assertEqual(self.run_once(keep, "read", close=lambda s: s.proc.terminate()), written)
        self.assertEqual(self.run_once(other, "read"), empty)  # Two ids never meet.
        for keys in (memory, no_id):
            self.assertEqual(self.run_once(keys, "write"), "written")
            self.assertEqual(self.run_once(keys, "read"), empty, keys)
        data = os.path.join(self.home, ".local/share/dev.example.keep")
        self.assertTrue(os.listdir(os.path.join(data, "web")))
        self.assertTrue(os.path.isdir(os.path.join(self.home, ".cache/dev.example.keep/http")))
        for folder in (data, os.path.join(data, "web")):
            self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700, folder)
        # Nothing of the other apps' pages in the data folder.
        self.assertFalse(os.path.exists(os.path.join(self.home, ".local/share/dev.example.memory/web")))

    def test_window_size_comes_back_clamped_to_the_screen(self):
        project = self.make_project('{"id": "dev.example.size", "window": {"width": 700, '
                                    '"height": 500, "min_width": 400}}')
        state = os.path.join(self.home, ".local/share/dev.example.size/window-state.json")

        states = []  # Each run's _NET_WM_STATE as the window manager would be asked.

        def run(resize=None):
            shell = self.start("--url=" + self.url("/storage?read"), project=project,
                               env=self.env, variant=False)
            window = self.wait_windows(shell, 1)[0]
            size = self.geometry(window)
            states.append(self.x("xprop", "-id", str(window), "_NET_WM_STATE"))
            if resize:
                self.x("xdotool", "windowsize", str(window), *map(str, resize))
                wait_for(lambda: self.geometry(window) == dict(zip(("width", "height"), resize)),
                         what="the new size")
            self.close_window(window)
            self.assertEqual(shell.wait(), 0)
            return size

        self.assertEqual(run(resize=(900, 650)), {"width": 700, "height": 500})
        self.assertEqual(run(), {"width": 900, "height": 650})
        # Larger than the screen: clamped to it; smaller than the minimum: the minimum.
        for saved, expected in (((5000, 4000), (1280, 1024)), ((200, 300), (400, 300))):
            with open(state, "w") as f:
                json.dump({"width": saved[0], "height": saved[1], "maximized": False}, f)
            size = run()
            self.assertLessEqual(size["width"], expected[0])
            self.assertLessEqual(size["height"], expected[1])
            if saved[0] < 400:
                self.assertEqual(size["width"], 400)
            self.assertNotIn("MAXIMIZED", states[-1])
        # Left maximized: it asks to be maximized again.
        with open(state, "w") as f:
            json.dump({"width": 700, "height": 500, "maximized": True}, f)
        run()
        self.assertIn("_NET_WM_STATE_MAXIMIZED_VERT", states[-1])
        self.assertIn("_NET_WM_STATE_MAXIMIZED_HORZ", states[-1])


if __name__ == "__main__":
    unittest.main()
