"""The page's console in the shell's log: every level, uncaught errors, frames and pop-ups,
long and multi-line messages, and --log-severity for console and shell lines alike."""

import re
import time
import unittest

from harness import ShellTestCase, wait_for

# Line numbers matter: the log names them.
APP_JS = """function run(where) {
  console.log('log from ' + where);
  console.info('info from ' + where);
  console.debug('debug from ' + where);
  console.warn('warn from ' + where);
  console.error('error from ' + where);
  setTimeout(function () { throw new Error('uncaught from ' + where); }, 0);
  Promise.reject(new Error('rejected from ' + where));
}
"""

PAGE = """<html><head><script src="/app.js"></script></head><body>
<iframe src="/frame.html"></iframe><script>
run('main');
console.log('saved 3 items');
console.log('two\\nlines\\u001b[31m and \\u2028 a separator');
console.log('x'.repeat(10000));
window.open('/popup.html');
</script></body></html>"""

# A child says when its messages are out: a request for /logged after its run.
CHILD = "<html><head><script src='/app.js'></script></head><body><script>run('%s');" \
        "console.log('%s done'); setTimeout(function () { fetch('/logged'); }, 300);" \
        "</script></body></html>"

LINE = re.compile(r"^\[\d+:\d+:\d{4}/\d{6}\.\d{3}:(INFO|WARNING|ERROR):CONSOLE\((\d+)\)\] "
                  r"\"(.*)\", source: (\S*) \((\d+)\)$")


class ConsoleLogTest(ShellTestCase):
    def run_pages(self, *args):
        self.server.add_page("/app.js", APP_JS, "application/javascript")
        self.server.add_page("/page.html", PAGE)
        self.server.add_page("/frame.html", CHILD % ("frame", "frame"))
        self.server.add_page("/popup.html", CHILD % ("popup", "popup"))
        shell = self.start("--url=" + self.url("/page.html"), *args)
        self.wait_windows(shell, 2)
        return shell

    def console(self, shell):
        """(severity, message, source, line) of each console line so far."""
        found = []
        for l in list(shell.stderr_lines):
            m = LINE.match(l)
            if m:
                self.assertEqual(m.group(2), m.group(5))
                found.append((m.group(1), m.group(3), m.group(4), int(m.group(2))))
        return found

    def wait_console(self, shell, text):
        return wait_for(lambda: [c for c in self.console(shell) if text in c[1]], 15, what=text)

    def test_every_level_from_every_frame(self):
        shell = self.run_pages()
        for where in ("frame", "popup"):
            self.wait_console(shell, where + " done")
        app = self.url("/app.js")
        for where in ("main", "frame", "popup"):
            expected = [  # (severity, message, line)
                ("INFO", "log from " + where, 2),
                ("INFO", "info from " + where, 3),
                ("INFO", "debug from " + where, 4),
                ("WARNING", "warn from " + where, 5),
                ("ERROR", "error from " + where, 6),
            ]
            for severity, message, line in expected:
                with self.subTest(message=message):
                    self.assertIn((severity, message, app, line), self.console(shell))
            with self.subTest(where=where, what="uncaught"):
                (c,) = self.wait_console(shell, "uncaught from " + where)
                self.assertEqual((c[0], c[2], c[3]), ("ERROR", app, 7))
            with self.subTest(where=where, what="rejection"):
                (c,) = self.wait_console(shell, "rejected from " + where)
                self.assertEqual(c, ("ERROR", "Unhandled Promise Rejection: Error: rejected from "
                                     + where, app, 8))
        page = self.url("/page.html")
        self.assertIn(("INFO", "saved 3 items", page, 4), self.console(shell))
        self.assertIn(("INFO", r"two\nlines\x1b[31m and \u2028 a separator", page, 5),
                      self.console(shell))
        (long,) = self.wait_console(shell, "xxxx")
        self.assertEqual(long[1], "x" * 4096 + "... (cut: 10000 bytes in all)")

    def test_first_js_errors_are_reported_against_the_page(self):
        # Line numbers matter: each error names its line of first.js.
        first_js = """var qvex_nt_api = {unload: function () {}};
window.firstSource = new Error('probe').sourceURL;
window.later = function () { throw new Error('later from first.js'); };
throw new Error('thrown by first.js');
"""
        self.server.add_page("/page.html", """<html><head><script src="/report.js"></script>
</head><body><script>report('source', window.firstSource);
setTimeout(function () { later(); }, 0);</script></body></html>""")
        shell = self.start("--url=" + self.url("/page.html"),
                           project=self.backend_project(first_js))
        page = self.url("/page.html")
        self.assertEqual(self.wait_report("source"), [page])
        cases = [  # (message, line)
            ("thrown by first.js", 4),
            ("later from first.js", 3),
        ]
        for message, line in cases:
            with self.subTest(message=message):
                (c,) = self.wait_console(shell, message)
                self.assertEqual((c[0], c[2], c[3]), ("ERROR", page, line))
        self.assertEqual([l for l in shell.stderr_lines if "user-script" in l], [])

    def test_log_severity_sets_the_lowest_severity_written(self):
        cases = [  # (switch value, severities of console lines, shell lines below it absent)
            ("verbose", {"INFO", "WARNING", "ERROR"}, ()),
            ("info", {"INFO", "WARNING", "ERROR"}, ()),
            ("warning", {"WARNING", "ERROR"}, (":INFO:",)),
            ("error", {"ERROR"}, (":INFO:", ":WARNING:")),
            ("fatal", set(), (":INFO:", ":WARNING:", ":ERROR:")),
            ("disable", set(), (":INFO:", ":WARNING:", ":ERROR:")),
        ]
        for n, (value, severities, absent) in enumerate(cases, 1):
            with self.subTest(value=value):
                shell = self.run_pages("--log-severity=" + value)
                wait_for(lambda: len(self.server.requested("/logged")) == 2 * n, 20,
                         what="the frame's and the pop-up's messages")
                time.sleep(0.5)  # Time for the last lines to come through the pipe.
                shell.kill()
                self.assertEqual({c[0] for c in self.console(shell)}, severities)
                for marker in absent:
                    self.assertEqual([l for l in shell.stderr_lines if marker in l], [])

    def test_an_unknown_severity_is_named_and_changes_nothing(self):
        shell = self.run_pages("--log-severity=loud")
        self.wait_console(shell, "saved 3 items")
        self.assertTrue(any('unknown --log-severity value "loud"' in l
                            for l in shell.stderr_lines))


if __name__ == "__main__":
    unittest.main()
