"""How the shell ends: a start without a display fails with status 1 and says why; a
termination signal closes every window as a forced close does and exits 0."""

import os
import re
import signal
import time
import unittest

from harness import ShellTestCase, wait_for

PAGE = """<html><head><title>%(name)s</title><script src="/report.js"></script></head>
<body style="margin:0"><input style="width:400px;height:60px"><script>
var qvex_nt_api = { unload: function () { report('unload', '%(name)s'); %(unload)s } };
window.addEventListener('beforeunload', function (e) { e.preventDefault(); e.returnValue = 'x'; });
report('loaded', '%(name)s');
%(script)s
</script></body></html>"""


def page(name, script="", unload=""):
    return PAGE % {"name": name, "script": script, "unload": unload}


class FailedStartTest(ShellTestCase):
    def test_no_display_exits_one_with_one_line(self):
        absent = ":%d" % (int(self.display[1:]) + 5000)  # No X server there.
        cases = [
            # (DISPLAY, the line on standard error)
            (None, "qvexdesk: cannot open display: DISPLAY is not set"),
            (absent, 'qvexdesk: cannot open display "%s"' % absent),
        ]
        for display, line in cases:
            with self.subTest(display=display):
                shell = self.start("--url=" + self.url("/none.html"), variant=False,
                                   env={"DISPLAY": display, "WAYLAND_DISPLAY": None})
                self.assertEqual(shell.wait(), 1)
                self.assertEqual(shell.stderr_lines, [line])


class SignalTest(ShellTestCase):
    def start_with_popup(self):
        # The pages ask to stay and the person has typed: a signal closes them all the same.
        self.server.add_page("/opener.html", page(
            "opener", "window.open('/popup.html', 'popup', 'width=400,height=300');"))
        self.server.add_page("/popup.html", page("popup"))
        shell = self.start("--url=" + self.url("/opener.html"))
        self.wait_report("loaded", count=2)
        for window in self.wait_windows(shell, 2):
            self.x("xdotool", "mousemove", "--window", str(window), "100", "30", "click", "1")
            self.x("xdotool", "windowfocus", "--sync", str(window), "type", "unsaved")
        return shell

    def test_each_signal_closes_every_window_and_exits_zero(self):
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=number.name):
                self.server.reports.clear()
                shell = self.start_with_popup()
                # To the whole process group, as a terminal or a logout sends it: the web
                # processes get it too.
                os.killpg(shell.proc.pid, number)
                self.assertEqual(shell.wait(), 0)
                self.assertEqual(sorted(self.server.values("unload")), ["opener", "popup"])
                self.assertEqual(len(shell.hooks("onBeforeBrowserClose")), 2)
                self.assertTrue(any(re.search(r"signal %d .*closing every window" % number, l)
                                    for l in shell.stderr_lines), shell.stderr_lines)

    def test_sigpipe_is_ignored_and_a_second_signal_ends_at_once(self):
        # The page's unload never returns: the first signal's close waits for it.
        self.server.add_page("/hung.html", page("hung", unload="while (true) {}"))
        shell = self.start("--url=" + self.url("/hung.html"))
        self.wait_report("loaded")
        self.wait_windows(shell, 1)
        shell.proc.send_signal(signal.SIGPIPE)
        time.sleep(0.5)
        self.assertIsNone(shell.proc.poll(), "SIGPIPE ended the shell")

        shell.proc.send_signal(signal.SIGTERM)
        self.wait_report("unload")
        shell.proc.send_signal(signal.SIGTERM)
        # Ended by that signal: the close still waiting for the page would have ended with 0.
        # (The shell itself: its web process may hold the output pipes open a little longer.)
        self.assertEqual(shell.proc.wait(timeout=10), -signal.SIGTERM)


if __name__ == "__main__":
    unittest.main()
