"""A web process that ends: the page comes back, endings back off, and a page that keeps dying
gets a crash panel instead of endless restarts; the shell lives on and closes with 0."""

import os
import signal
import threading
import time
import unittest

from harness import ShellTestCase, wait_for
from test_robustness import children, command

# Reports a token of its own per load; keeps a query open; on the test's word asks the
# application to answer every kept query.
PAGE = """<html><head><title>Crash</title><script src="/report.js"></script></head><body>
<script>
var token = String(Math.random()).slice(2);
report('token', token);
cefQuery({request: 'keep:' + token, persistent: false,
          onSuccess: function (r) { report('answer', r); }, onFailure: function () {}});
var asked = false;
setInterval(function () {
  if (asked) return;
  var x = new XMLHttpRequest();
  x.open('GET', '/go', false);
  x.send();
  if (x.responseText === '1') {
    asked = true;
    cefQuery({request: 'variant:answer-kept', onSuccess: function () {}, onFailure: function () {}});
  }
}, 200);
</script></body></html>"""


def web_processes(shell):
    return [p for p in children(shell.proc.pid) if "WebKitWebProcess" in command(p)]


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def started(pid):
    """Whether a web process has got through WebKit's launch (it has loaded our module): one
    that dies before that aborts the whole program inside WebKit's launcher, which no embedder
    can prevent (see the README's troubleshooting)."""
    try:
        with open("/proc/%d/maps" % pid) as f:
            return "libqvexdesk-webext" in f.read()
    except OSError:
        return False


class Killer(threading.Thread):
    """Kills every web process of the shell once it has run `after` seconds after its start."""

    def __init__(self, shell, after=0.1):
        super().__init__(daemon=True)
        self.shell, self.after = shell, after
        self.killed, self.running = [], True

    def run(self):
        seen = {}
        while self.running:
            now = time.monotonic()
            for pid in web_processes(self.shell):
                if pid not in seen and not started(pid):
                    continue
                seen.setdefault(pid, now)
                if pid not in self.killed and now - seen[pid] >= self.after:
                    os.kill(pid, signal.SIGKILL)
                    self.killed.append(pid)
            time.sleep(0.01)


class CrashTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.go = False
        self.server.add_page("/page.html", PAGE)
        self.server.dynamic["/go"] = lambda: "1" if self.go else "0"

    def start_shell(self):
        return self.start("--url=" + self.url("/page.html"),
                          env={"QVEX_TEST_QUERY_COMMANDS": "1"})

    def test_killed_once_reloads_and_the_old_query_is_cancelled(self):
        shell = self.start_shell()
        first = self.wait_report("token")[0]
        self.wait_hook(shell, "OnQuery id=1 ")  # The first page's query is held.
        for pid in web_processes(shell):
            os.kill(pid, signal.SIGKILL)
        second = self.wait_report("token", count=2)[1]
        self.wait_hook(shell, "OnQuery", count=2)
        self.go = True
        # Only the new page's own query is answered: the old one went with its process and
        # its answer never reaches the new page (whose ids start again where the old ones did).
        self.assertEqual(self.wait_report("answer"), ["keep:%s valid=1" % second])
        time.sleep(1)  # Nor later.
        self.assertEqual(self.server.values("answer"), ["keep:%s valid=1" % second])
        self.assertNotEqual(first, second)
        ended = [l for l in shell.stderr_lines if "web process" in l]
        self.assertEqual(len(ended), 1, ended)
        self.assertIn("reloading in 250 ms", ended[0])
        self.assertIn("WEBKIT_DISABLE_DMABUF_RENDERER=", ended[0])
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_a_page_that_keeps_dying_gets_the_crash_panel(self):
        shell = self.start_shell()
        self.wait_report("token")
        (window,) = self.wait_windows(shell, 1)
        self.assertEqual(self.colours(window), 1)  # The page itself is blank.
        killer = Killer(shell)
        killer.start()
        time.sleep(10)
        killer.running = False
        killer.join()
        self.assertIsNone(shell.proc.poll(), "the shell ended:\n" + "\n".join(shell.stderr_lines))
        # The first process and two reloads; then the panel, and nothing restarts.
        self.assertEqual(len(killer.killed), 3, killer.killed)
        self.assertEqual(web_processes(shell), [])
        panel = [l for l in shell.stderr_lines if "crash panel shown" in l]
        self.assertEqual(len(panel), 1, shell.stderr_lines)
        self.assertIn("web process crashed", panel[0])
        before = cpu_seconds(shell.proc.pid)
        time.sleep(2)
        self.assertLess(cpu_seconds(shell.proc.pid) - before, 0.2)  # Idle behind the panel.
        self.assertGreater(self.colours(window), 1)  # The panel is drawn in the page's place.

        # The user's Reload (the focused button) brings the page back.
        loads = len(self.server.values("token"))
        self.x("xdotool", "windowfocus", "--sync", str(window), check=False)
        self.x("xdotool", "key", "--window", str(window), "Return")
        self.wait_report("token", count=loads + 1)
        self.assertEqual(len(web_processes(shell)), 1)

        # And the panel does not stand in the way of closing.
        killer = Killer(shell, after=0.5)
        killer.start()
        wait_for(lambda: len([l for l in shell.stderr_lines if "crash panel shown" in l]) == 2,
                 timeout=30, what="the second panel")
        killer.running = False
        killer.join()
        started = time.monotonic()
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=30), 0)
        self.assertLess(time.monotonic() - started, 5)


if __name__ == "__main__":
    unittest.main()
