"""The project as a program of its own: its id as the windows' class, its name as their first
title and as the accessibility tree's application name, its icon from the first map."""

import unittest

from accessibility import AccessibilityBus
from harness import SANITIZED, ShellTestCase, net_wm_icon_sizes, png, wait_for

SVG = ('<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48">'
       '<circle cx="24" cy="24" r="20" fill="#2a6"/></svg>')
# The page's head comes after a pause: until then the window shows what the app gives it.
PAUSE = 4.0
PAGE = b"<html><head><title>The page</title></head><body>page</body></html>"


class AppIdentityTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.server.streams["/later"] = lambda query: ([PAUSE, PAGE], "length", (), 0)

    def project(self, keys):
        return self.make_project(keys, {"icon.png": png(64, 64), "icon.svg": SVG,
                                        "broken.png": b"not a picture"})

    def wm_class(self, window):
        out = self.x("xprop", "-id", str(window), "WM_CLASS").strip()
        return tuple(part.strip().strip('"') for part in out.split("=", 1)[1].split(","))

    def icon_sizes(self, window):
        out = self.x("xprop", "-id", str(window), "-notype", "32c", "_NET_WM_ICON").strip()
        if "=" not in out:
            return []
        return net_wm_icon_sizes([int(v) for v in out.split("=", 1)[1].split(",")])

    def test_class_title_and_icon_with_and_without_the_keys(self):
        every_size = [(s, s) for s in (16, 24, 32, 48, 64, 128, 256)]
        cases = [
            # (app.qvex, WM_CLASS, title while the page loads, icon sizes, a line of the log)
            ("{}", ("qvexdesk", "Qvexdesk"), None, [], None),
            ('{"id": "dev.example.one", "name": "Example One", "icon": "icon.png"}',
             ("dev.example.one", "dev.example.one"), "Example One", every_size, None),
            ('{"id": "dev.example.svg", "icon": "icon.svg"}',
             ("dev.example.svg", "dev.example.svg"), None, every_size, None),
            # An id that is not one: the app runs without (one line says why); the name stays.
            ('{"id": "1bad.id", "name": "Named"}', ("qvexdesk", "Qvexdesk"), "Named", [],
             "is not an application id"),
            # An icon that does not decode: no icon, one line.
            ('{"id": "dev.example.broken", "icon": "broken.png"}',
             ("dev.example.broken", "dev.example.broken"), None, [], "cannot be read"),
        ]
        for keys, wm_class, title, sizes, logged in cases:
            with self.subTest(keys=keys):
                shell = self.start("--url=" + self.url("/later"), project=self.project(keys),
                                   variant=False, env=self.app_env())
                window = self.wait_windows(shell, 1)[0]
                self.assertEqual(self.wm_class(window), wm_class)
                if title:
                    self.assertEqual(self.window_name(window), title)
                self.assertEqual(self.icon_sizes(window), sizes)
                # The page's title replaces the app's name once it comes.
                wait_for(lambda: self.window_name(window) == "The page", what="page title")
                self.close_window(window)
                self.assertEqual(shell.wait(), 0)
                if logged:
                    self.assertEqual(len([l for l in shell.stderr_lines if logged in l]), 1,
                                     shell.stderr_lines)

    @unittest.skipIf(SANITIZED, "the sanitizer build runs without the accessibility bridge")
    def test_accessibility_tree_names_the_app(self):
        for keys, name in (('{"id": "dev.example.a11y", "name": "Readable App"}', "Readable App"),
                           ("{}", "qvexdesk")):
            with self.subTest(keys=keys), AccessibilityBus() as bus:
                shell = self.start("--url=" + self.url("/later"), project=self.project(keys),
                                   variant=False, env=self.app_env(**bus.environment))
                window = self.wait_windows(shell, 1)[0]
                tree = bus.wait_tree(shell.proc.pid, lambda t: bool(t))
                self.assertEqual(tree[0], ("application", name))
                self.close_window(window)
                self.assertEqual(shell.wait(), 0)


if __name__ == "__main__":
    unittest.main()
