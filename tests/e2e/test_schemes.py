"""Links to schemes the engine does not show: the page stays, no window opens; what the user
clicked goes to the desktop's handler for the scheme, what a page does on its own is refused."""

import os
import time
import unittest

from harness import ShellTestCase, wait_for

# Blocks to click, each 100 px high at the top left of the page (or of its frame).
PAGE = """<html><head><script src="/report.js"></script><style>
body { margin: 0 } a, button { display: block; height: 100px; width: 300px; margin: 0;
padding: 0; border: 0 } iframe { border: 0; height: 100px; width: 300px; display: block }
</style></head><body>
<a href="qvextest:link?x=1&amp;y=%20z">link</a>
<a href="qvexnone:nobody">no handler</a>
<iframe src="/frame.html"></iframe>
<button onclick="window.open('qvextest:popup')">pop-up</button>
<a href="qvextest:blank" target="_blank">new window</a>
<iframe src="qvextest:frame-source" style="height: 10px"></iframe>
<script>
setTimeout(function () { location.href = 'qvextest:timer'; }, 100);
setTimeout(function () { window.open('qvextest:timer-popup'); }, 150);
setTimeout(function () { report('ready', location.href); }, 600);
document.addEventListener('click', function () {
  setTimeout(function () { report('still', location.href); }, 400);
});
</script></body></html>"""

# A click in the frame is not the top document's: the frame tells the page.
FRAME = """<html><body style="margin: 0"><a href="qvextest:in-frame" style="display: block;
height: 100px">frame link</a><script>document.addEventListener('click', function () {
  parent.setTimeout(function () { parent.report('still', parent.location.href); }, 400);
});</script></body></html>"""


class SchemeTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        # A handler of the scheme "qvextest" for this test only: it writes what it was given.
        self.launched = os.path.join(self.tmp, "launched.txt")
        handler = os.path.join(self.tmp, "handler.sh")
        with open(handler, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> %s\n' % self.launched)
        os.chmod(handler, 0o755)
        data_home, config_home = (os.path.join(self.tmp, d) for d in ("data", "config"))
        os.makedirs(os.path.join(data_home, "applications"))
        os.makedirs(config_home)
        with open(os.path.join(data_home, "applications", "qvextest-handler.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Qvex test handler\n"
                    "Exec=%s %%u\nMimeType=x-scheme-handler/qvextest;\n" % handler)
        with open(os.path.join(config_home, "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\nx-scheme-handler/qvextest=qvextest-handler.desktop\n")
        self.env = {"XDG_DATA_HOME": data_home, "XDG_CONFIG_HOME": config_home}

    def handled(self):
        if not os.path.exists(self.launched):
            return []
        with open(self.launched) as f:
            return f.read().splitlines()

    def test_clicks_go_to_the_desktop_and_the_page_stays(self):
        self.server.add_page("/page.html", PAGE)
        self.server.add_page("/frame.html", FRAME)
        page_url = self.url("/page.html")
        shell = self.start("--url=" + page_url, env=self.env)
        (window,) = self.wait_windows(shell, 1)
        self.assertEqual(self.wait_report("ready"), [page_url])
        clicks = [  # (y of the block, what the handler gets, the log line)
            (50, "qvextest:link?x=1&y=%20z", "opened qvextest:link?x=1&y=%20z with the "
                                             "desktop's handler Qvex test handler"),
            (150, None, "no application handles qvexnone: URLs; not opened: qvexnone:nobody"),
            (250, "qvextest:in-frame", "opened qvextest:in-frame"),
            (350, "qvextest:popup", "opened qvextest:popup"),
            (450, "qvextest:blank", "opened qvextest:blank"),
        ]
        for n, (y, handed, line) in enumerate(clicks, 1):
            with self.subTest(y=y):
                self.x("xdotool", "mousemove", "--window", str(window), "100", str(y),
                       "click", "1")
                if handed:
                    wait_for(lambda: handed in self.handled(), 10, what=handed)
                wait_for(lambda: any(line in l for l in shell.stderr_lines), 10, what=line)
                # The page is still there, in the one window.
                self.assertEqual(self.wait_report("still", count=n)[n - 1], page_url)
                self.assertEqual(len(self.windows(shell)), 1)
        # What the page did without the user was refused, and said so.
        for url in ("qvextest:timer", "qvextest:timer-popup", "qvextest:frame-source"):
            line = "refused to open %s: not started by the user" % url
            self.assertTrue(any(line in l for l in shell.stderr_lines), line)
        time.sleep(1)
        self.assertEqual(sorted(self.handled()), sorted(c[1] for c in clicks if c[1]))
        self.assertEqual([h for h in shell.hooks("onLoadStart") if "data:" in h], [])


if __name__ == "__main__":
    unittest.main()
