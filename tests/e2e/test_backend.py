"""The project's backend: started with the window behind a Starting panel, its failures on a
panel with Try Again and Quit, restarted while pages are shown, stopped after the pages' close
sequence, and never left behind. Real python3 backends, real shell under Xvfb."""

import json
import os
import signal
import time
import unittest
import urllib.request

from harness import ShellTestCase, wait_for

# One backend for every test; what it does is its first argument. It writes what happens to
# it, one line each, to events.txt in the project.
BACKEND = r'''
import http.server, os, signal, sys, time
mode, port = sys.argv[1], int(sys.argv[2])
here = os.path.dirname(os.path.abspath(__file__))
def event(text):
    with open(os.path.join(here, "events.txt"), "a") as f:
        f.write(text + "\n")
event("start %s pid=%d pgid=%d port=%s projpath=%s" % (
    mode, os.getpid(), os.getpgid(0), os.environ.get("QVEX_PORT"), os.environ.get("QVEX_PROJPATH")))
def on_term(*_):
    event("SIGTERM")
    if mode != "stubborn":
        os._exit(0)
signal.signal(signal.SIGTERM, on_term)
print("hello on stdout", flush=True)
print("trouble\tahead on stderr", file=sys.stderr, flush=True)
if mode.startswith("exit"):
    sys.exit(int(mode[4:]))
if mode == "killself":
    os.kill(os.getpid(), signal.SIGKILL)
if mode == "never":
    time.sleep(600)
if mode == "flaky" and not os.path.exists(os.path.join(here, "tried")):
    open(os.path.join(here, "tried"), "w").close()
    sys.exit(5)
if mode == "slow":
    time.sleep(3)
if mode == "stubborn":
    if os.fork() == 0:  # A grandchild in the group, holding the output too.
        signal.signal(signal.SIGTERM, signal.SIG_IGN)
        time.sleep(600)
class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_GET(self):
        if self.path.startswith("/die"):
            event("die")
            os._exit(7)
        if self.path.startswith("/unloaded"):
            event("unloaded")
        body = PAGE.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)
PAGE = """<html><body><input id=f><script>
window.token = Math.random();
new Image().src = "{{ORIGIN}}/report?k=page&v=" + encodeURIComponent(location.href + " " + token);
// Told by the test, the page goes to itself again (an error page while the backend is down).
setInterval(function () {
  fetch("{{ORIGIN}}/cmd").then(function (r) { return r.text(); }).then(function (t) {
    if (t == "go") location.href = location.href;
  }).catch(function () {});
}, 100);
</script></body></html>"""
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
event("listening")
server.serve_forever()
'''

# first.js reports each run, and its unload asks the backend before the window goes.
FIRST_JS = """
window.qvex_nt_api = { unload: function () {
  var x = new XMLHttpRequest();
  x.open('GET', '/unloaded', false);
  try { x.send(); } catch (e) {}
} };
(function () {
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/report?k=first&v=' + encodeURIComponent(location.href), false);
  try { x.send(); } catch (e) {}
})();
"""


def group_alive(pgid):
    """Whether any process of the group is still running (zombies do not count)."""
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == pgid and fields[0] != "Z":
            return True
    return False


class BackendTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.state = os.path.join(self.tmp, "state")

    def project(self, mode, timeout=None, extra=None):
        backend = {"command": "exec python3 tb.py %s {port}" % mode}
        if timeout is not None:
            backend["timeout"] = timeout
        backend.update(extra or {})
        doc = {"type": "backend", "name": "Test App",
               "fronturl": "http://127.0.0.1:{port}/index.html", "backend": backend}
        page = BACKEND.replace("{{ORIGIN}}", self.server.origin)
        return self.make_project(json.dumps(doc), {
            "tb.py": page, "temp/js/qvexext.js": "var app = {};",
            "temp/js/first.js": FIRST_JS.replace("{{ORIGIN}}", self.server.origin)})

    def run_shell(self, project):
        return self.start(project=project, env={"XDG_STATE_HOME": self.state})

    def events(self, project):
        try:
            with open(os.path.join(project, "events.txt")) as f:
                return f.read().splitlines()
        except OSError:
            return []

    def wait_event(self, project, prefix, count=1, timeout=20):
        return wait_for(lambda: (lambda e: e if len(e) >= count else None)(
            [e for e in self.events(project) if e.startswith(prefix)]), timeout,
            what="backend event " + prefix)

    def log(self, shell, text):
        return [l for l in shell.stderr_lines if text in l]

    def wait_log(self, shell, text, count=1, timeout=20):
        return wait_for(lambda: (lambda l: l if len(l) >= count else None)(self.log(shell, text)),
                        timeout, what="log line " + text)

    def test_a_slow_start_shows_the_panel_then_only_the_start_url(self):
        project = self.project("slow")
        shell = self.run_shell(project)
        (window,) = self.wait_windows(shell, 1)
        # The Starting panel, while nothing loads.
        wait_for(lambda: self.colours(window) > 1, timeout=2.5, what="the panel drawn")
        self.assertEqual(shell.load_starts(), [])
        self.assertEqual(self.server.values("page"), [])
        (page,) = self.wait_report("page")
        start = self.events(project)[0]
        port = int(start.split("port=")[1].split()[0])
        url = "http://127.0.0.1:%d/index.html" % port
        self.assertTrue(page.startswith(url + " "))
        self.assertIn("projpath=" + os.path.realpath(project), start)
        # The first load anything sees is the start URL's, after the backend answered.
        self.assertEqual(self.wait_report("first"), [url])
        self.assertEqual(shell.load_starts(), [url])
        self.assertEqual(self.log(shell, "error page"), [])
        # Its output, one log line per line, stream named and escaped.
        self.wait_log(shell, "stdout: hello on stdout")
        self.wait_log(shell, "stderr: trouble\\tahead on stderr")
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)
        # The unload's request arrived before the backend's SIGTERM.
        events = self.events(project)
        self.assertEqual([e for e in events if e in ("unloaded", "SIGTERM")],
                         ["unloaded", "SIGTERM"], events)
        self.assertTrue(self.log(shell, "backend stopped: it ended with status 0"))

        # The next run gets the same port (its origin, so its storage).
        shell = self.run_shell(project)
        self.wait_report("page", count=2)
        self.assertEqual(self.wait_event(project, "start", count=2)[1].split("port=")[1].split()[0],
                         str(port))
        shell.proc.send_signal(signal.SIGTERM)
        self.assertEqual(shell.wait(), 0)

    def test_failed_starts_say_why_on_the_panel(self):
        cases = [  # mode, timeout, what the panel line says
            ("exit3", None, "its backend ended with status 3"),
            ("killself", None, "its backend was ended by signal 9 (SIGKILL)"),
            ("never", 1, "its backend did not answer http://127.0.0.1:"),
            # Ended long before the window exists: the panel still comes with it.
            ("sh", None, "its backend ended with status 4"),
        ]
        for mode, timeout, said in cases:
            with self.subTest(mode=mode):
                extra = {"command": "exit 4"} if mode == "sh" else None
                if mode == "never":  # Its group is known at once, however slow python starts.
                    extra = {"command": "echo \"start pgid=$(cut -d' ' -f5 /proc/$$/stat)\""
                                        " >> events.txt; exec python3 tb.py never {port}"}
                project = self.project(mode, timeout, extra)
                shell = self.run_shell(project)
                (window,) = self.wait_windows(shell, 1)
                (line,) = self.wait_log(shell, "(failure panel shown)", timeout=30)
                self.assertIn("Test App could not start: " + said, line)
                if mode == "never":
                    self.assertIn("within 1 s", line)
                    pgid = int(self.events(project)[0].split("pgid=")[1].split()[0])
                    self.assertFalse(group_alive(pgid))  # Stopped before the panel.
                self.assertEqual(shell.load_starts(), [])
                wait_for(lambda: self.colours(window) > 1, timeout=2.5, what="the panel drawn")
                # Quit: status 1 and one line on standard error.
                self.x("xdotool", "windowfocus", "--sync", str(window), check=False)
                self.x("xdotool", "key", "--window", str(window), "alt+q")
                self.assertEqual(shell.wait(timeout=30), 1)
                lines = [l for l in shell.stderr_lines if l.startswith("qvexdesk: ")]
                self.assertEqual(lines, ["qvexdesk: " + line.split("] ", 1)[1].replace(
                    " (failure panel shown)", "")])

    def test_try_again_starts_it_anew(self):
        project = self.project("flaky")
        shell = self.run_shell(project)
        (window,) = self.wait_windows(shell, 1)
        (line,) = self.wait_log(shell, "(failure panel shown)")
        self.assertIn("ended with status 5", line)
        self.x("xdotool", "windowfocus", "--sync", str(window), check=False)
        self.x("xdotool", "key", "--window", str(window), "Return")  # Try Again has the focus.
        self.wait_report("page")
        self.assertEqual(len(self.wait_event(project, "start", count=2)), 2)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_a_backend_that_ends_while_shown_is_restarted_then_given_up(self):
        project = self.project("serve")
        commands = []
        self.server.dynamic["/cmd"] = lambda: commands.pop() if commands else ""
        shell = self.run_shell(project)
        (first,) = self.wait_report("page")
        (window,) = self.wait_windows(shell, 1)
        port = first.split(":")[2].split("/")[0]
        for n in range(1, 4):
            self.wait_event(project, "listening", count=n)
            try:
                urllib.request.urlopen("http://127.0.0.1:%s/die" % port, timeout=2)
            except OSError:
                pass  # It ends without an answer.
            self.wait_log(shell, "backend ended with status 7 while the pages were shown",
                          count=n)
            if n == 1:  # Restarted at once; the page was not reloaded.
                self.wait_log(shell, "answered", count=2)
                self.assertEqual(self.server.values("page"), [first])
            if n == 2:  # While it is down, the page goes to itself: an error page ...
                commands.append("go")
                wait_for(lambda: any(u.startswith("data:") for u in shell.load_starts()),
                         what="the error page")
                # ... loaded again once the backend answers.
                (_, again) = self.wait_report("page", count=2)
                self.assertNotEqual(again, first)
                self.assertEqual(shell.load_starts()[-1], first.split()[0])
        lines = self.log(shell, "while the pages were shown")
        self.assertIn("restarting at once", lines[0])
        self.assertIn("restarting in 1000 ms", lines[1])
        self.assertIn("not restarting", lines[2])
        self.wait_log(shell, "backend bar shown")
        time.sleep(1)  # Nothing more starts on its own.
        self.assertEqual(len([e for e in self.events(project) if e.startswith("start")]), 3)
        # The page stayed where it was: no new load.
        self.assertEqual(len(self.server.values("page")), 2)
        # Restart on the bar (its button has the focus).
        self.x("xdotool", "windowfocus", "--sync", str(window), check=False)
        self.x("xdotool", "key", "--window", str(window), "Return")
        self.wait_event(project, "listening", count=4)
        self.wait_log(shell, "answered", count=4)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_stop_by_close_and_by_each_signal(self):
        for how in ("close", signal.SIGTERM, signal.SIGINT, signal.SIGHUP, "close-starting"):
            with self.subTest(how=str(how)):
                project = self.project("slow" if how == "close-starting" else "serve")
                shell = self.run_shell(project)
                (window,) = self.wait_windows(shell, 1)
                if how == "close-starting":
                    self.wait_event(project, "start")
                else:
                    self.wait_report("first", count=1)
                self.server.reports.clear()
                if how in ("close", "close-starting"):
                    self.close_window(window)
                else:
                    shell.proc.send_signal(how)
                self.assertEqual(shell.wait(), 0)
                events = self.events(project)
                self.assertEqual([e for e in events if e in ("unloaded", "SIGTERM")],
                                 ["SIGTERM"] if how == "close-starting" else
                                 ["unloaded", "SIGTERM"], events)
                self.assertEqual(self.server.values("first"), [])
                pgid = int(events[0].split("pgid=")[1].split()[0])
                self.assertFalse(group_alive(pgid))

    def test_a_backend_that_ignores_sigterm_is_killed_after_5_s(self):
        project = self.project("stubborn")
        shell = self.run_shell(project)
        self.wait_report("first")
        pgid = int(self.events(project)[0].split("pgid=")[1].split()[0])
        started = time.monotonic()
        shell.proc.send_signal(signal.SIGTERM)
        self.assertEqual(shell.wait(timeout=30), 0)
        self.assertGreater(time.monotonic() - started, 5)
        self.assertTrue(self.log(shell, "did not end within 5 s of SIGTERM; SIGKILL"))
        self.assertFalse(group_alive(pgid))

    def test_a_killed_shell_leaves_no_backend(self):
        project = self.project("stubborn")
        shell = self.run_shell(project)
        self.wait_report("first")
        pgid = int(self.events(project)[0].split("pgid=")[1].split()[0])
        self.assertTrue(group_alive(pgid))
        os.kill(shell.proc.pid, signal.SIGKILL)
        shell.proc.wait()
        killed = time.monotonic()
        wait_for(lambda: not group_alive(pgid), timeout=5, what="the group to go")
        self.assertLess(time.monotonic() - killed, 2)


if __name__ == "__main__":
    unittest.main()
