"""The close sequence: unload runs before the browser goes, pop-ups, exit status."""

import time
import unittest

from harness import ShellTestCase, wait_for

UNLOAD_PAGE = """<html><head><title>Closing</title><script src="/report.js"></script></head>
<body><script>
var qvex_nt_api = { unload: function () { report('unload', location.pathname); } };
report('loaded', location.pathname);
</script></body></html>"""

OPENER_PAGE = """<html><head><title>Opener</title><script src="/report.js"></script></head>
<body><script>
var qvex_nt_api = { unload: function () { report('unload', 'opener'); } };
report('loaded', 'opener');
window.open('/popup.html', 'popup', 'width=400,height=300');
</script></body></html>"""

POPUP_PAGE = """<html><head><title>Popup</title><script src="/report.js"></script></head>
<body><script>
var qvex_nt_api = { unload: function () { report('unload', 'popup'); } };
report('loaded', 'popup');
</script></body></html>"""


class CloseTest(ShellTestCase):
    def test_user_close_runs_unload_then_exits_zero(self):
        self.server.add_page("/page.html", UNLOAD_PAGE)
        shell = self.start("--url=" + self.url("/page.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        started = time.monotonic()
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)
        self.assertEqual(self.server.values("unload"), ["/page.html"])
        # The close hook ran, and the close waited its pause after the unload request.
        self.assertEqual(shell.hooks("onBeforeBrowserClose"), ["onBeforeBrowserClose"])
        self.assertGreaterEqual(time.monotonic() - started, 0.3)

    def test_page_without_unload_still_closes(self):
        self.server.add_page("/plain.html", "<html><body><script src='/report.js'></script>"
                                            "<script>report('loaded', 1)</script></body></html>")
        shell = self.start("--url=" + self.url("/plain.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_hung_page_cannot_hold_the_close(self):
        self.server.add_page("/hung.html", """<html><body><script src="/report.js"></script>
<script>var qvex_nt_api = { unload: function () { while (true) {} } };
report('loaded', 1);</script></body></html>""")
        shell = self.start("--url=" + self.url("/hung.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=15), 0)


class PopupTest(ShellTestCase):
    def open_with_popup(self):
        self.server.add_page("/opener.html", OPENER_PAGE)
        self.server.add_page("/popup.html", POPUP_PAGE)
        shell = self.start("--url=" + self.url("/opener.html"))
        self.wait_report("loaded", count=2)
        windows = self.wait_windows(shell, 2)
        names = {self.window_name(w): w for w in windows}
        wait_for(lambda: set(self.window_name(w) for w in windows) == {"Opener", "Popup"},
                 what="both titles")
        names = {self.window_name(w): w for w in windows}
        return shell, names

    def test_popup_gets_its_own_800x600_window(self):
        shell, names = self.open_with_popup()
        self.assertEqual(self.geometry(names["Popup"]), {"width": 800, "height": 600})
        self.assertIn("popup=1", " ".join(shell.hooks("onAfterBrowserInit")))

    def test_program_ends_when_every_window_closed_main_first(self):
        shell, names = self.open_with_popup()
        self.close_window(names["Opener"])
        self.wait_report("unload")
        time.sleep(1.0)
        self.assertIsNone(shell.proc.poll(), "ended with a window still open")
        self.close_window(names["Popup"])
        self.assertEqual(shell.wait(), 0)
        self.assertEqual(sorted(self.server.values("unload")), ["opener", "popup"])

    def test_program_ends_when_every_window_closed_popup_first(self):
        shell, names = self.open_with_popup()
        self.close_window(names["Popup"])
        self.wait_report("unload")
        time.sleep(1.0)
        self.assertIsNone(shell.proc.poll(), "ended with a window still open")
        self.assertEqual(self.windows(shell), [names["Opener"]])
        self.close_window(names["Opener"])
        self.assertEqual(shell.wait(), 0)


if __name__ == "__main__":
    unittest.main()
