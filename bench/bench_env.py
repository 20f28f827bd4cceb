"""What the bench measures in: its page server, its private X server, the programs it runs with
their processes, memory and CPU time, and the machine. Python's standard library only."""

import ctypes
import ctypes.util
import http.server
import json
import os
import platform
import signal
import subprocess
import threading
import time
import urllib.parse

CHROMIUM = "/usr/bin/chromium"


# --- page server -------------------------------------------------------------------------------

class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.origin = "http://127.0.0.1:%d" % self.server_address[1]
        self.pages = {}
        self.events = {}       # token -> monotonic time of /loaded
        self.unloads = {}      # token -> monotonic time of /unloaded (the close's unload)
        self.results = {}      # token -> posted JSON
        self.cond = threading.Condition()

    def wait(self, table, token, timeout):
        deadline = time.monotonic() + timeout
        with self.cond:
            while token not in table:
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)
            return table[token]


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def handle(self):
        try:
            super().handle()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def _send(self, code, body, content_type="text/plain"):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        now = time.monotonic()
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        server = self.server
        if url.path in ("/loaded", "/unloaded"):
            table = server.events if url.path == "/loaded" else server.unloads
            with server.cond:
                table.setdefault(query.get("t", [""])[0], now)
                server.cond.notify_all()
            return self._send(200, b"ok")
        page = server.pages.get(url.path)
        if page is None:
            return self._send(404, b"not found")
        token = query.get("t", [""])[0]
        return self._send(200, page.replace("{{TOKEN}}", token).encode(),
                          "text/html; charset=utf-8")

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        try:
            value = json.loads(body.decode("utf-8"))
        except ValueError:
            value = {"error": "unreadable result"}
        with self.server.cond:
            self.server.results[query.get("t", [""])[0]] = value
            self.server.cond.notify_all()
        self._send(200, b"ok")


# --- X -----------------------------------------------------------------------------------------

class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("l", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


class X:
    """A private Xvfb, and a connection to it that closes windows as a window manager does."""

    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      "1280x1024x24", "-nolisten", "tcp"],
                                     pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as f:
            self.display = ":" + f.readline().strip()
        self.lib = ctypes.CDLL(ctypes.util.find_library("X11"))
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XInternAtom.restype = ctypes.c_ulong
        self.lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                        ctypes.c_long, ctypes.POINTER(XEvent)]
        self.lib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.lib.XOpenDisplay(self.display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open the private X display " + self.display)
        self.wm_protocols = self.lib.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        self.wm_delete = self.lib.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)

    def windows(self, pid):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                             env=dict(os.environ, DISPLAY=self.display), capture_output=True,
                             text=True, timeout=10).stdout
        return [int(w) for w in out.split()]

    def close(self, windows):
        """Sends WM_DELETE_WINDOW to each window; returns when the server has them."""
        for window in windows:
            event = XEvent()
            event.xclient.type = 33  # ClientMessage
            event.xclient.window = window
            event.xclient.message_type = self.wm_protocols
            event.xclient.format = 32
            event.xclient.l[0] = self.wm_delete
            event.xclient.l[1] = 0  # CurrentTime
            self.lib.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event))
        self.lib.XSync(self.dpy, 0)

    def stop(self):
        self.lib.XCloseDisplay(self.dpy)
        self.proc.send_signal(signal.SIGTERM)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


# --- processes and memory ----------------------------------------------------------------------

def proc_table():
    table = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        table[int(name)] = (int(fields[1]), int(fields[3]))  # ppid, session
    return table


def command_mentions(pid, marker):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return marker.encode() in f.read()
    except OSError:
        return False


def program_pids(leader, marker=None):
    """The leader and every process below it or in its session (it was started as a session
    leader, so helpers that were re-parented still count), and, with a marker (the run's own
    directory), daemons of the program that left the session but name that directory on their
    command line (chromium's crash handlers)."""
    table = proc_table()
    members = {pid for pid, (_, sid) in table.items() if sid == leader}
    members.add(leader)
    if marker:
        members.update(pid for pid in table if command_mentions(pid, marker))
    grew = True
    while grew:
        grew = False
        for pid, (ppid, _) in table.items():
            if ppid in members and pid not in members:
                members.add(pid)
                grew = True
    return sorted(p for p in members if p in table)


def memory(leader, marker=None):
    """PSS and private (USS) memory in KiB summed over the program's processes, and their names."""
    pss = uss = 0
    names = []
    for pid in program_pids(leader, marker):
        try:
            with open("/proc/%d/smaps_rollup" % pid) as f:
                rollup = f.read()
            with open("/proc/%d/comm" % pid) as f:
                names.append(f.read().strip())
        except OSError:
            continue
        for line in rollup.splitlines():
            parts = line.split()
            if parts[0] == "Pss:":
                pss += int(parts[1])
            elif parts[0] in ("Private_Clean:", "Private_Dirty:"):
                uss += int(parts[1])
    return pss, uss, names


SHARED_LIBRARIES = ("libwebkit2gtk-4.1", "libjavascriptcoregtk-4.1", "libwebkitgtk-6.0",
                    "/usr/lib/chromium/")


def foreign_sharers(leader, marker=None):
    """Processes outside the program that map the engines' big libraries: while they run, the
    program's PSS (and private memory) reads lower than it costs alone."""
    ours = set(program_pids(leader, marker))
    found = []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) in ours:
            continue
        try:
            with open("/proc/%s/maps" % name) as f:
                maps = f.read()
            with open("/proc/%s/comm" % name) as f:
                comm = f.read().strip()
        except OSError:
            continue
        if any(lib in maps for lib in SHARED_LIBRARIES):
            found.append("%s(%s)" % (comm, name))
    return found


class Program:
    """One run of a program as its own session, its output in a log file."""

    def __init__(self, argv, env, log_path, marker=None):
        self.marker = marker
        self.log = open(log_path, "wb")
        self.started = time.monotonic()
        self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                     stderr=subprocess.STDOUT, start_new_session=True)

    def wait_exit(self, timeout):
        try:
            self.proc.wait(timeout=timeout)
            return time.monotonic()
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        """Ends whatever is left of the program's session (only processes this run started)."""
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.proc.wait()
        for pid in program_pids(self.proc.pid, self.marker):
            if pid != self.proc.pid:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        self.log.close()


# --- CPU and the machine -----------------------------------------------------------------------

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def machine_cpu():
    """CPU seconds spent so far by all CPUs (busy only), from /proc/stat."""
    with open("/proc/stat") as f:
        values = [int(v) for v in f.readline().split()[1:]]
    return (sum(values) - values[3] - values[4]) / CLOCK_TICKS


def process_cpu(pids):
    """CPU seconds spent so far by the given processes and their reaped children."""
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/stat" % pid) as f:
                stat = f.read()
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        total += sum(int(v) for v in fields[11:15])  # utime, stime, cutime, cstime
    return total / CLOCK_TICKS


def cpu_busy(interval=1.0):
    """The share of all CPUs busy over the interval (0..1), from /proc/stat."""
    def sample():
        with open("/proc/stat") as f:
            values = [int(v) for v in f.readline().split()[1:]]
        idle = values[3] + values[4]  # idle + iowait
        return sum(values), idle
    total0, idle0 = sample()
    time.sleep(interval)
    total1, idle1 = sample()
    return 1.0 - (idle1 - idle0) / max(1, total1 - total0)


def wait_quiet(limit_s, threshold=0.25):
    """Waits (up to limit_s) for two quiet seconds in a row: timings taken while other work
    holds the CPUs say little. Returns the last busy share seen."""
    deadline = time.monotonic() + limit_s
    quiet = 0
    busy = cpu_busy()
    while time.monotonic() < deadline:
        quiet = quiet + 1 if busy < threshold else 0
        if quiet >= 2:
            break
        busy = cpu_busy()
    return busy


def machine():
    def read(path):
        try:
            with open(path) as f:
                return f.read()
        except OSError:
            return ""

    def run(argv):
        try:
            return subprocess.run(argv, capture_output=True, text=True, timeout=20).stdout.strip()
        except (OSError, subprocess.TimeoutExpired):
            return "?"

    cpu = next((l.split(":", 1)[1].strip() for l in read("/proc/cpuinfo").splitlines()
                if l.startswith("model name")), "?")
    mem = next((l.split(":", 1)[1].strip() for l in read("/proc/meminfo").splitlines()
                if l.startswith("MemTotal")), "?")
    return {
        "nproc": os.cpu_count(),
        "cpu": cpu,
        "memory": mem,
        "kernel": platform.release(),
        "debian": read("/etc/debian_version").strip(),
        "webkitgtk": run(["pkg-config", "--modversion", "webkit2gtk-4.1"]),
        "gtk": run(["pkg-config", "--modversion", "gtk+-3.0"]),
        "chromium": run([CHROMIUM, "--version"]),
        "python": platform.python_version(),
        "loadavg": read("/proc/loadavg").split()[:3],
    }
