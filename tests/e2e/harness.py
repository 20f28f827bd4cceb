"""End-to-end harness: a private Xvfb, a page server on 127.0.0.1 that also records what
pages report, and the shell (or its test variant) started for real against them."""

import base64
import glob
import http.server
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse

BUILD_DIR = os.environ.get("QVEX_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
SHELL = os.path.join(BUILD_DIR, "qvexdesk")
VARIANT = os.path.join(BUILD_DIR, "qvexdesk_testvariant")
NATIVE_VARIANT = os.path.join(BUILD_DIR, "qvexdesk_nativevariant")
XCLOSE = os.path.join(BUILD_DIR, "tests", "xclose")
PAGES_DIR = os.path.join(os.path.dirname(__file__), "pages")

# A sanitizer build (QVEX_SANITIZE=ON; CTest passes the runtime's path) runs the shell with the
# AddressSanitizer runtime preloaded: WebKit's web process is not instrumented but loads our
# extension module, so the runtime must come first there too, and the web process inherits the
# shell's environment. Only the shell's processes get it, not the tools the tests run.
ASAN_RUNTIME = os.environ.get("QVEX_ASAN_RUNTIME", "")
# Memory figures mean little in a sanitizer build (redzones, and freed memory held back in
# quarantine to catch uses after free): tests that bound memory check the bound only without.
SANITIZED = bool(ASAN_RUNTIME)
LSAN_SUPPRESSIONS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sanitizers",
                                 "lsan.supp")
# Any of these in a shell's standard error (the web process writes to the same stream) fails
# the test that ran it.
SANITIZER_REPORTS = ("ERROR: AddressSanitizer", "runtime error:", "ERROR: LeakSanitizer")
# Mesa's software GL driver. WebKit's web process opens an EGL display at start (it aborts
# without one), and Mesa unloads the driver at exit, before the leak check: a block that only
# the driver's own globals point to then looks leaked, and no frame is left to name it
# (a 128-byte realloc under the driver's one-time set-up, "<unknown module>"). Preloaded, the
# driver is never unloaded and LeakSanitizer scans those globals: with it, no such report.
GL_DRIVER = next(iter(sorted(glob.glob("/usr/lib/*/dri/swrast_dri.so"))), "")


def sanitizer_environment():
    """What a shell process needs in a sanitizer build (nothing otherwise)."""
    if not ASAN_RUNTIME:
        return {}

    def options(name, ours):  # Options given from outside come after ours, so they win.
        return ":".join(o for o in (ours, os.environ.get(name, "")) if o)

    return {
        "LD_PRELOAD": " ".join(p for p in (ASAN_RUNTIME, GL_DRIVER) if p),
        "ASAN_OPTIONS": options("ASAN_OPTIONS", "detect_leaks=1"),
        "LSAN_OPTIONS": options("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0"
                                % os.path.normpath(LSAN_SUPPRESSIONS)),
        "UBSAN_OPTIONS": options("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1"),
        # Each GLib slice its own malloc block, so that a leaked GObject shows as a leak.
        "G_SLICE": "always-malloc",
        # Two places where system libraries leak in ways no library suppression can name, since
        # the frames that would name them are gone when the leak is reported: GTK's
        # accessibility bridge (atk_bridge_adaptor_init keeps two strings, seen only as
        # g_malloc with the fast unwinder), and Mesa's software GL driver, which WebKit's
        # accelerated compositing loads into the web process and which is unloaded at exit
        # before its leaked blocks are symbolized. The tests need neither.
        "NO_AT_BRIDGE": "1",
        "WEBKIT_DISABLE_COMPOSITING_MODE": "1",
        # No GStreamer plugins (the tests play no media): a process that asks which types it can
        # show would load them all, through GStreamer's plugin scanner (a system program that
        # inherits the sanitizer runtime and reports the plugins' own allocations) and enough
        # GLib quarks that GLib drops its first quark table, which only the fast unwinder sees.
        "GST_PLUGIN_SYSTEM_PATH_1_0": "/nonexistent",
        "GST_PLUGIN_PATH_1_0": "/nonexistent",
    }

# Pages report with report(key, value); values arrive as (key, value) pairs in order.
REPORT_JS = """
function report(k, v) {
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/report?k=' + encodeURIComponent(k) + '&v=' +
         encodeURIComponent(v === undefined ? '' : String(v)), false);
  try { x.send(); } catch (e) {}
}
"""


# A project's first.js that counts its runs on the window (one window per document), defines
# the page-side object the close sequence calls, and reports each run by itself.
FIRST_JS = """
window.__firstRuns = (window.__firstRuns || 0) + 1;
window.qvex_nt_api = window.qvex_nt_api || { unload: function () {} };
(function () {
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/report?k=first&v=' + encodeURIComponent(location.href), false);
  try { x.send(); } catch (e) {}
})();
"""


def closed_port():
    """A port on 127.0.0.1 that nothing listens on (and that WebKit does not block), free for a
    server of the test's own as well."""
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, timeout=20.0, interval=0.05, what="condition"):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(interval)
    raise AssertionError("timed out waiting for " + what)


class PageServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), PageHandler)
        self.reports = []
        # (key, value, time.monotonic() of its arrival), for tests of the order of things.
        self.arrivals = []
        self.requests = []
        self.pages = {}
        # Paths answered by a function: its text, or 204 No Content when it gives None.
        self.dynamic = {}
        # Paths answered piece by piece: a function of the query (a dict) gives (parts, framing,
        # headers, never); a bytes part is sent and flushed at once, a number is a pause in
        # seconds (before the head when it comes first).
        # Framing "length" announces the whole length (plus `never` more bytes that never
        # come), "chunked" uses chunked transfer, "close" ends the body by closing.
        self.streams = {}
        self.lock = threading.Lock()
        self.origin = "http://127.0.0.1:%d" % self.server_address[1]

    def add_page(self, path, html, content_type="text/html; charset=utf-8"):
        self.pages[path] = (content_type, html)

    def values(self, key):
        with self.lock:
            return [v for k, v in self.reports if k == key]

    def arrived(self, key):
        """When the first report of `key` arrived (time.monotonic()), or None."""
        with self.lock:
            return next((t for k, _, t in self.arrivals if k == key), None)

    def requested(self, path_prefix):
        with self.lock:
            return [p for p in self.requests if p.startswith(path_prefix)]


class PageHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def handle(self):
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):
            pass  # The page went away (a cancelled load): nothing to answer.

    def _send(self, code, body=b"", content_type="text/plain", headers=()):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Access-Control-Allow-Origin", "*")
        self.send_header("Cache-Control", "no-store")
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _stream(self, parts, framing="length", headers=(), never=0):
        parts = list(parts)
        while parts and not isinstance(parts[0], bytes):  # A pause before the head.
            time.sleep(parts.pop(0))
        data = [p for p in parts if isinstance(p, bytes)]
        head = ["HTTP/1.1 200 OK", "Content-Type: text/html; charset=utf-8",
                "Cache-Control: no-store", "Connection: close"] + ["%s: %s" % h for h in headers]
        if framing == "length":
            head.append("Content-Length: %d" % (sum(len(p) for p in data) + never))
        elif framing == "chunked":
            head.append("Transfer-Encoding: chunked")
        self.close_connection = True
        self.wfile.write(("\r\n".join(head) + "\r\n\r\n").encode())
        for part in parts:
            if not isinstance(part, bytes):
                time.sleep(part)
                continue
            if framing == "chunked":
                part = b"%x\r\n%s\r\n" % (len(part), part)
            self.wfile.write(part)
            self.wfile.flush()
        if framing == "chunked":
            self.wfile.write(b"0\r\n\r\n")

    def do_HEAD(self):
        self.do_GET()

    def do_POST(self):
        # A form's POST: its body is recorded as the request's query, then it is served as a GET.
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length).decode("utf-8", "replace") if length else ""
        self.path = self.path + ("&" if "?" in self.path else "?") + body
        self.do_GET()

    def do_GET(self):
        server = self.server
        url = urllib.parse.urlsplit(self.path)
        with server.lock:
            server.requests.append(self.path)
        if url.path == "/report":
            q = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            with server.lock:
                report = (q.get("k", [""])[0], q.get("v", [""])[0])
                server.reports.append(report)
                server.arrivals.append(report + (time.monotonic(),))
            return self._send(200, b"ok")
        if url.path == "/redirect":
            to = urllib.parse.parse_qs(url.query).get("to", ["/"])[0]
            return self._send(302, b"", headers=(("Location", to),))
        if url.path == "/slow":
            time.sleep(float(urllib.parse.parse_qs(url.query).get("s", ["3"])[0]))
            return self._send(200, b"<html><body>slow</body></html>", "text/html")
        if url.path == "/stall":
            # The response's head at once, its body never: the load waits, with no document,
            # until something cancels it.
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", "100000")
            self.end_headers()
            self.wfile.flush()
            time.sleep(float(urllib.parse.parse_qs(url.query).get("s", ["5"])[0]))
            return
        if url.path == "/report.js":
            return self._send(200, REPORT_JS.replace("{{ORIGIN}}", server.origin).encode(),
                              "application/javascript")
        if url.path in server.streams:
            return self._stream(*server.streams[url.path](
                {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}))
        if url.path in server.dynamic:
            text = server.dynamic[url.path]()
            return self._send(204) if text is None else self._send(200, text.encode())
        page = server.pages.get(url.path)
        if page is None:
            file_path = os.path.join(PAGES_DIR, url.path.lstrip("/"))
            if os.path.isfile(file_path):
                with open(file_path, "rb") as f:
                    page = ("text/html; charset=utf-8" if file_path.endswith(".html")
                            else "application/octet-stream", f.read())
        if page is None:
            return self._send(404, b"not found")
        content_type, body = page
        if isinstance(body, str):
            body = body.replace("{{ORIGIN}}", server.origin).encode()
        return self._send(200, body, content_type)


class Shell:
    """One run of the shell; stdout and stderr are collected line by line."""

    def __init__(self, argv, env):
        self.argv, self.env, self.restarts = argv, env, 0
        self._launch()

    def restart(self):
        self._finish()
        self.restarts += 1
        self._launch()

    def _launch(self):
        argv, env = self.argv, self.env
        self.stdout_lines, self.stderr_lines = [], []
        self.stdout_times = []  # time.monotonic() of each line of stdout_lines
        self.proc = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                     start_new_session=True)
        self._threads = [threading.Thread(target=self._pump, args=(self.proc.stdout, self.stdout_lines, self.stdout_times), daemon=True),
                         threading.Thread(target=self._pump, args=(self.proc.stderr, self.stderr_lines), daemon=True)]
        for t in self._threads:
            t.start()

    @staticmethod
    def _pump(stream, lines, times=None):
        for raw in iter(stream.readline, b""):
            if times is not None:
                times.append(time.monotonic())
            lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def hook_time(self, prefix):
        """When the first hook line starting with `prefix` was printed (time.monotonic())."""
        for when, line in zip(list(self.stdout_times), list(self.stdout_lines)):
            if line.startswith("HOOK " + prefix):
                return when
        return None

    def hooks(self, prefix=""):
        return [l[5:] for l in list(self.stdout_lines) if l.startswith("HOOK " + prefix)]

    def load_starts(self, main=True):
        """The URLs of the main frame's (or the sub-frames') load starts, in order."""
        prefix = "onLoadStart main=%d url=" % (1 if main else 0)
        return [h[len(prefix):] for h in self.hooks(prefix)]

    def wait(self, timeout=20):
        code = self.proc.wait(timeout=timeout)
        self._finish()
        return code

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self._finish()

    def sanitizer_report(self):
        """The standard error from the first sanitizer report on, or "" if there is none."""
        lines = list(self.stderr_lines)
        for i, line in enumerate(lines):
            if any(marker in line for marker in SANITIZER_REPORTS):
                return "\n".join(lines[max(0, i - 2):i + 400])
        return ""

    def _finish(self):
        for t in self._threads:
            t.join(timeout=5)
        for stream in (self.proc.stdout, self.proc.stderr):
            if not stream.closed:
                stream.close()


class ShellTestCase(unittest.TestCase):
    """Each test gets its own X server, page server and temporary directory."""

    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="qvex-e2e-")
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"],
                                     pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.display = ":" + f.readline().strip()
        self.server = PageServer()
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.shells = []

    def tearDown(self):
        for shell in self.shells:
            shell.kill()
        self.server.shutdown()
        self.server.server_close()
        self.xvfb.send_signal(signal.SIGTERM)
        self.xvfb.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)
        reports = [shell.sanitizer_report() for shell in self.shells]
        reports = [r for r in reports if r]
        if reports:
            self.fail("sanitizer report from the shell:\n" + "\n\n".join(reports))

    # --- starting the shell ---

    def make_project(self, app_qvex=None, files=None):
        """A project directory; app_qvex is the text of app.qvex (None: no file)."""
        path = tempfile.mkdtemp(dir=self.tmp, prefix="proj-")
        if app_qvex is not None:
            with open(os.path.join(path, "app.qvex"), "w") as f:
                f.write(app_qvex)
        for name, text in (files or {}).items():
            full = os.path.join(path, name)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(text.encode() if isinstance(text, str) else text)
        return path

    def backend_project(self, first_js=FIRST_JS, ext_js="var app = {};", fronturl=None):
        """A backend project whose first.js (by default FIRST_JS) may report to this test's
        server through {{ORIGIN}}."""
        files = {"temp/js/qvexext.js": ext_js,
                 "temp/js/first.js": first_js.replace("{{ORIGIN}}", self.server.origin)}
        doc = {"type": "backend", "fronturl": fronturl} if fronturl else {"type": "backend"}
        return self.make_project(json.dumps(doc), files)

    def start(self, *args, project=None, variant=True, env=None):
        environ = dict(os.environ)
        environ["DISPLAY"] = self.display
        environ.pop("QVEX_PROJPATH", None)
        if project is not None:
            environ["QVEX_PROJPATH"] = project
        environ.update(sanitizer_environment())
        for name, value in (env or {}).items():  # None: not set at all.
            if value is None:
                environ.pop(name, None)
            else:
                environ[name] = value
        program = variant if isinstance(variant, str) else (VARIANT if variant else SHELL)
        shell = Shell([program] + list(args), environ)
        self.shells.append(shell)
        return shell

    def url(self, path):
        return self.server.origin + path

    def session_bus(self):
        """A private D-Bus session bus for this test (stopped at its end): its address."""
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.addCleanup(lambda: (bus.terminate(), bus.wait(), bus.stdout.close()))
        return bus.stdout.readline().strip()

    def app_env(self, **extra):
        """A home, data, cache and runtime folder of this test's own, so that apps' folders,
        locks and sockets never meet another test's."""
        env = {"HOME": os.path.join(self.tmp, "home"), "XDG_DATA_HOME": None,
               "XDG_CACHE_HOME": None, "XDG_RUNTIME_DIR": os.path.join(self.tmp, "run"),
               "DESKTOP_STARTUP_ID": None}
        for folder in (env["HOME"], env["XDG_RUNTIME_DIR"]):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        env.update(extra)
        return env

    # --- windows ---

    def x(self, *argv, check=True):
        environ = dict(os.environ, DISPLAY=self.display)
        result = subprocess.run(list(argv), env=environ, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError("%s failed: %s" % (argv, result.stderr))
        return result.stdout

    def windows(self, shell):
        out = self.x("xdotool", "search", "--onlyvisible", "--pid", str(shell.proc.pid), check=False)
        return [int(w) for w in out.split()]

    def wait_windows(self, shell, count, timeout=30):
        def found():
            if (shell.proc.poll() is not None and shell.restarts < 2 and
                    any("cannot open display" in l for l in shell.stderr_lines)):
                # A connection refused by a busy X server right after its start: try again.
                shell.restart()
            if shell.proc.poll() is not None:
                raise AssertionError("the shell ended (status %s) while waiting for windows"
                                     % shell.proc.returncode)
            windows = self.windows(shell)
            return windows if len(windows) == count else None
        try:
            return wait_for(found, timeout, what="%d window(s)" % count)
        except AssertionError as e:
            raise AssertionError("%s; windows %s; shell stderr:\n%s" % (
                e, self.windows(shell), "\n".join(shell.stderr_lines[-20:])))

    def close_window(self, window):
        self.x(XCLOSE, str(window))

    def geometry(self, window):
        out = self.x("xwininfo", "-id", str(window))
        values = {}
        for line in out.splitlines():
            line = line.strip()
            if line.startswith("Width:"):
                values["width"] = int(line.split()[1])
            if line.startswith("Height:"):
                values["height"] = int(line.split()[1])
        return values

    def colours(self, window):
        """How many colours a screenshot of the window holds (1: blank)."""
        shot = os.path.join(self.tmp, "shot-%d.png" % window)
        self.x("import", "-window", str(window), shot)
        return int(self.x("convert", shot, "-colors", "8", "-format", "%k", "info:"))

    def window_name(self, window):
        return self.x("xdotool", "getwindowname", str(window)).strip()

    def wait_report(self, key, timeout=20, count=1):
        return wait_for(lambda: (lambda v: v if len(v) >= count else None)(self.server.values(key)),
                        timeout, what="report " + key)

    def wait_hook(self, shell, prefix, timeout=20, count=1):
        return wait_for(lambda: (lambda h: h if len(h) >= count else None)(shell.hooks(prefix)),
                        timeout, what="hook " + prefix)


def decode_data_url(url):
    """The HTML of a data:text/html;base64 URL."""
    payload = urllib.parse.unquote(url.split(",", 1)[1])
    return base64.b64decode(payload).decode("utf-8")


def png(width, height, rgba=(0x20, 0x80, 0x60, 0xFF)):
    """A PNG image of one colour."""
    import struct
    import zlib

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    row = b"\x00" + bytes(rgba) * width
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


def net_wm_icon_sizes(values):
    """The (width, height) of each image in a _NET_WM_ICON value list."""
    sizes, i = [], 0
    while i + 1 < len(values):
        w, h = values[i], values[i + 1]
        sizes.append((w, h))
        i += 2 + w * h
    return sizes
