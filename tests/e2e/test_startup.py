"""Start-up: the start URL and its precedence, the window, process roles, X errors."""

import json
import os
import subprocess
import time
import unittest

from harness import VARIANT, ShellTestCase, wait_for

HOME_PAGE = "https://www.quenvale.dev/"

PAGE = """<html><head><title>{title}</title><script src="/report.js"></script></head>
<body><h1>{title}</h1><script>report('loaded', location.pathname);</script></body></html>"""


class StartUrlTest(ShellTestCase):
    """Which URL the shell opens: a backend project's "fronturl", else --url, else home."""

    def start_url(self, *args, project=None):
        shell = self.start(*args, project=project)
        hook = self.wait_hook(shell, "onAfterBrowserInit")[0]
        shell.kill()
        return hook.split(" ")[1][len("url="):]

    def backend(self, type_="backend", fronturl=None):
        doc = {"type": type_}
        if fronturl is not None:
            doc["fronturl"] = fronturl
        return self.make_project(json.dumps(doc))

    def test_precedence(self):
        page = self.url("/page.html")
        front = self.url("/front.html")
        cases = [
            # (arguments, project, expected start URL)
            ((), None, HOME_PAGE),
            (("--url=" + page,), None, page),
            (("--url=",), None, HOME_PAGE),                         # empty value: home page
            (("--url=" + page,), self.backend(fronturl=front), front),
            ((), self.backend(fronturl=front), front),
            (("--url=" + page,), self.backend("Backend", front), page),  # case matters
            (("--url=" + page,), self.backend(fronturl=""), page),        # empty fronturl
            (("--url=" + page,), self.backend(), page),                   # no fronturl
            (("--url=" + page,), self.make_project("not json"), page),
        ]
        for args, project, expected in cases:
            with self.subTest(args=args, project=project):
                self.assertEqual(self.start_url(*args, project=project), expected)

    def test_front_url_is_loaded(self):
        self.server.add_page("/front.html", PAGE.format(title="Front"))
        shell = self.start("--url=" + self.url("/other.html"),
                           project=self.backend(fronturl=self.url("/front.html")))
        self.assertEqual(self.wait_report("loaded"), ["/front.html"])
        self.assertEqual(self.server.requested("/other.html"), [])


class WindowTest(ShellTestCase):
    def test_one_800x600_window_shows_the_page(self):
        self.server.add_page("/page.html", PAGE.format(title="Window test"))
        shell = self.start("--url=" + self.url("/page.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        self.assertEqual(self.geometry(window), {"width": 800, "height": 600})
        wait_for(lambda: self.window_name(window) == "Window test", what="title")
        # A real screenshot: the page's heading is drawn (the window is not blank).
        wait_for(lambda: self.colours(window) > 1, what="the page drawn")


class ProcessRoleTest(ShellTestCase):
    def test_sub_process_returns_without_touching_settings(self):
        for process_type in ("renderer", "gpu-process", "utility"):
            with self.subTest(process_type=process_type):
                shell = self.start("--type=" + process_type)
                self.assertEqual(shell.wait(timeout=10), 0)
                self.assertEqual(shell.hooks("onInit"), [])
                self.assertEqual(self.windows(shell), [])

    def test_browser_process_calls_on_init_once(self):
        self.server.add_page("/page.html", PAGE.format(title="Init"))
        shell = self.start("--url=" + self.url("/page.html"))
        self.wait_report("loaded")
        self.assertEqual(shell.hooks("onInit"), ["onInit"])


class XErrorTest(ShellTestCase):
    def test_protocol_error_logs_one_warning_and_goes_on(self):
        self.server.add_page("/page.html", PAGE.format(title="X error"))
        shell = self.start("--url=" + self.url("/page.html"), env={"QVEX_TEST_XERROR": "1"})
        self.wait_hook(shell, "xerror-sent")
        self.wait_report("loaded")
        # BadWindow is error_code 3; the request was MapWindow (8).
        lines = wait_for(lambda: [l for l in shell.stderr_lines if "error_code 3," in l],
                         what="warning line")
        self.assertEqual(len(lines), 1)
        self.assertRegex(lines[0], r"WARNING:.*\] X error received: type 0, serial \d+, "
                                   r"error_code 3, request_code 8, minor_code 0$")
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)


if __name__ == "__main__":
    unittest.main()
