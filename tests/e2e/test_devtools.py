"""The context menu's developer-tools entry and the life of the developer-tools window."""

import contextlib
import time
import unittest

from accessibility import AccessibilityBus
from harness import SANITIZED, ShellTestCase, wait_for

PAGE = """<html><head><title>Inspected</title><script src="/report.js"></script></head><body>
<script>
var qvex_nt_api = { unload: function () { report('unload', 'page'); } };
report('loaded', 1);
setInterval(function () { report('alive', 1); }, 300);
</script></body></html>"""


class DevToolsTest(ShellTestCase):
    def open_devtools(self, bus=None, project=None):
        self.server.add_page("/page.html", PAGE)
        shell = self.start("--url=" + self.url("/page.html"), project=project,
                           env=bus.environment if bus else None)
        self.wait_report("loaded")
        (page,) = self.wait_windows(shell, 1)
        wait_for(lambda: self.window_name(page) == "Inspected", what="page title")
        # A real right-click opens WebKit's menu; Up selects its last entry.
        self.x("xdotool", "mousemove", "--window", str(page), "300", "300", "click", "3")
        if bus:
            # What a screen reader reads out: the menu's entries, ours the last.
            tree = bus.wait_tree(shell.proc.pid,
                                 lambda t: any(role == "menu item" for role, _ in t))
            entries = [name for role, name in tree if role == "menu item"]
            self.assertEqual(entries[-1], "Qvex Developer Tools", entries)
            self.assertEqual(entries.count("Qvex Developer Tools"), 1, entries)
        else:
            time.sleep(0.5)
        self.x("xdotool", "key", "Up", "Return")
        windows = self.wait_windows(shell, 2)
        (devtools,) = [w for w in windows if w != page]
        return shell, page, devtools

    def test_last_menu_entry_opens_devtools_in_a_window_of_their_own(self):
        with contextlib.ExitStack() as stack:
            # The sanitizer build runs without the accessibility bridge (it leaks at exit).
            bus = None if SANITIZED else stack.enter_context(AccessibilityBus())
            shell, page, devtools = self.open_devtools(bus)
            self.assertEqual(self.geometry(devtools), {"width": 800, "height": 600})
            wait_for(lambda: self.window_name(devtools).startswith("Developer Tools - "),
                     what="devtools title")
            wait_for(lambda: self.colours(devtools) > 1, what="devtools drawn")
            # The developer tools are a browser of the shell: they were created like one.
            self.assertEqual(len(shell.hooks("onAfterBrowserInit")), 2)
            self.close_window(page)
            self.assertEqual(shell.wait(), 0)

    def test_closing_devtools_leaves_the_page_running(self):
        # An app with an id: its developer tools are its windows too (one dock entry).
        shell, page, devtools = self.open_devtools(
            project=self.make_project('{"id": "dev.example.tools", "single_instance": false}'))
        for window in (page, devtools):
            self.assertIn('"dev.example.tools", "dev.example.tools"',
                          self.x("xprop", "-id", str(window), "WM_CLASS"))
        self.close_window(devtools)
        wait_for(lambda: self.windows(shell) == [page], what="devtools window gone")
        before = len(self.server.values("alive"))
        time.sleep(1.0)
        self.assertIsNone(shell.proc.poll())
        self.assertGreater(len(self.server.values("alive")), before)
        self.assertEqual(self.server.values("unload"), [])  # Only the devtools closed.
        self.close_window(page)
        self.assertEqual(shell.wait(), 0)

    def test_closing_the_page_with_devtools_open_ends_after_both(self):
        shell, page, devtools = self.open_devtools()
        self.close_window(page)
        self.assertEqual(shell.wait(), 0)
        self.assertEqual(self.server.values("unload"), ["page"])
        self.assertEqual(len(shell.hooks("onBeforeBrowserClose")), 2)


if __name__ == "__main__":
    unittest.main()
