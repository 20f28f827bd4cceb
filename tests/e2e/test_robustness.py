"""Broken input and broken processes: bad project files, a web process killed from outside."""

import json
import os
import signal
import time
import unittest

from harness import ShellTestCase, wait_for

PAGE = """<html><head><title>Robust</title><script src="/report.js"></script></head><body>
<script>
var qvex_nt_api = { unload: function () { report('unload', 1); } };
report('loaded', typeof projectPath);
</script></body></html>"""


def children(pid):
    """Pids of the processes whose parent is `pid`."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


def command(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")[0].decode()
    except OSError:
        return ""


class ProjectFileTest(ShellTestCase):
    """Whatever the project file holds, the shell starts and treats it as not backend."""

    def test_broken_project_files(self):
        self.server.add_page("/page.html", PAGE)
        deep = "[" * 1000000 + "]" * 1000000
        cases = {
            "missing": None,
            "empty": "",
            "not json": "type: backend",
            "array root": '["backend"]',
            "string root": '"backend"',
            "deep nesting": '{"type": "backend", "x": ' + deep + "}",
            "invalid utf-8": b'{"type": "backend\xff\xfe", "fronturl": "http://127.0.0.1:1/"}',
            "type is an object": '{"type": {"backend": true}, "fronturl": "http://127.0.0.1:1/"}',
            "type is a number": '{"type": 1, "fronturl": "http://127.0.0.1:1/"}',
        }
        for name, text in cases.items():
            with self.subTest(name):
                if isinstance(text, str):
                    text = text.encode()
                project = self.make_project(None)
                if text is not None:
                    with open(os.path.join(project, "app.qvex"), "wb") as f:
                        f.write(text)
                before = len(self.server.values("loaded"))
                shell = self.start("--url=" + self.url("/page.html"), project=project)
                self.wait_report("loaded", count=before + 1)
                hook = self.wait_hook(shell, "onAfterBrowserInit")[0]
                self.assertIn("url=" + self.url("/page.html"), hook)  # --url: not backend
                shell.kill()

    def test_100_mb_project_file(self):
        self.server.add_page("/page.html", PAGE)
        project = self.make_project(None)
        with open(os.path.join(project, "app.qvex"), "w") as f:
            f.write('{"type": "frontend", "pad": "')
            chunk = "x" * (1 << 20)
            for _ in range(100):
                f.write(chunk)
            f.write('"}')
        shell = self.start("--url=" + self.url("/page.html"), project=project)
        self.wait_report("loaded", timeout=60)
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=30), 0)


class WebProcessCrashTest(ShellTestCase):
    def test_killed_web_process_reloads_and_close_still_exits_zero(self):
        self.server.add_page("/page.html", PAGE)
        shell = self.start("--url=" + self.url("/page.html"))
        self.wait_report("loaded")
        web = wait_for(lambda: [p for p in children(shell.proc.pid)
                                if "WebKitWebProcess" in command(p)], what="web process")
        for pid in web:
            os.kill(pid, signal.SIGKILL)
        # The page comes back in a new web process.
        self.wait_report("loaded", count=2)
        self.assertIsNone(shell.proc.poll())
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)
        self.assertEqual(self.server.values("unload"), ["1"])


if __name__ == "__main__":
    unittest.main()
