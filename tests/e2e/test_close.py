"""The close sequence: unload runs before the browser goes, pop-ups, exit status."""

import os
import signal
import time
import unittest

from harness import ShellTestCase, wait_for

# The page's unload saves the person's work as a real page would: a request it waits for, one
# it does not, an IndexedDB write and a timer, all of which need the pause that follows it.
SAVING_PAGE = """<html><head><title>Saving</title><script src="/report.js"></script></head>
<body><script>
var db = null;
var open = indexedDB.open('work', 1);
open.onupgradeneeded = function () { open.result.createObjectStore('kv'); };
open.onsuccess = function () {
  db = open.result;
  var get = db.transaction('kv').objectStore('kv').get('draft');
  get.onsuccess = function () { report('loaded', get.result === undefined ? '' : get.result); };
};
var qvex_nt_api = { unload: function () {
  report('unload', location.pathname);
  fetch('/report?k=async&v=1');
  var put = db.transaction('kv', 'readwrite').objectStore('kv').put('typed work', 'draft');
  put.onsuccess = function () { report('stored', 1); };
  setTimeout(function () { report('timer', 1); }, 200);
} };
if (location.search === '?self') {
  setTimeout(function () { report('closing', 1); window.close(); }, 500);
}
</script></body></html>"""

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
    def test_every_close_runs_unload_then_its_pause_with_the_page_alive(self):
        # How each kind of close is asked for; each returns the time it asked.
        def window_manager(shell, window):
            self.close_window(window)
            return time.monotonic()

        def termination(shell, window):
            os.killpg(shell.proc.pid, signal.SIGTERM)  # The web processes get it too.
            return time.monotonic()

        def page_itself(shell, window):
            self.wait_report("closing")
            return self.server.arrived("closing")

        self.server.add_page("/saving.html", SAVING_PAGE)
        for name, close, query in (("window manager", window_manager, ""),
                                   ("SIGTERM to the group", termination, ""),
                                   ("window.close()", page_itself, "?self")):
            with self.subTest(close=name):
                self.server.reports.clear()
                self.server.arrivals.clear()
                cache = os.path.join(self.tmp, "cache-%d" % len(self.shells))
                env = {"QVEX_TEST_CACHE_PATH": cache}
                url = "--url=" + self.url("/saving.html" + query)
                shell = self.start(url, env=env)
                self.assertEqual(self.wait_report("loaded"), [""])
                (window,) = self.wait_windows(shell, 1)
                asked = close(shell, window)
                self.assertEqual(shell.proc.wait(timeout=20), 0)
                exited = time.monotonic()  # The shell's own exit, not its web process's.
                shell.wait()

                hook, unload = shell.hook_time("onBeforeBrowserClose"), self.server.arrived("unload")
                self.assertIsNotNone(unload, "the unload never ran")
                # The hook, then the unload at once (not after the pause), then the pause.
                # (Each time is taken where the test's threads read it; a loaded machine can
                # delay a stdout line by a few ms behind a request that came after it.)
                self.assertLess(hook - unload, 0.05)
                self.assertLess(unload - asked, 0.25, "the unload waited for the pause")
                self.assertGreaterEqual(exited - unload, 0.3, "no pause after the unload")
                # What the unload started ran in the pause: a timer, a request, a write.
                self.assertEqual(self.server.values("timer"), ["1"])
                self.assertEqual(self.server.values("async"), ["1"])
                self.assertEqual(self.server.values("stored"), ["1"])

                # The next run with the same cache path reads what the unload stored.
                self.server.reports.clear()
                again = self.start("--url=" + self.url("/saving.html"), env=env)
                self.assertEqual(self.wait_report("loaded"), ["typed work"])
                again.kill()

    def test_page_without_unload_still_closes(self):
        self.server.add_page("/plain.html", "<html><body><script src='/report.js'></script>"
                                            "<script>report('loaded', 1)</script></body></html>")
        shell = self.start("--url=" + self.url("/plain.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_hung_page_cannot_hold_the_close(self):
        # Given about 1.5 s for the unload, then the pause: never much longer.
        self.server.add_page("/hung.html", """<html><body><script src="/report.js"></script>
<script>var qvex_nt_api = { unload: function () { while (true) {} } };
report('loaded', 1);</script></body></html>""")
        shell = self.start("--url=" + self.url("/hung.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        started = time.monotonic()
        self.close_window(window)
        self.assertEqual(shell.proc.wait(timeout=15), 0)
        self.assertLess(time.monotonic() - started, 3.0, "the hung page held the close")
        shell.kill()  # Its web process, still in the page's loop, ends on its own later.
        self.assertTrue(any("still running after 1500 ms" in l for l in shell.stderr_lines))


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
