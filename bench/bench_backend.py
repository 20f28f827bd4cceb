"""The backend part of the bench: how soon after the project's backend can first answer the
start URL's navigation begins, and what a backend that floods its output (100 MB as fast as it
writes) costs the shell: its memory, how long the backend's writes are held up, and cefQuery
round trips during the flood. bench.py calls run()."""

import json
import os
import statistics
import time

from bench_env import Program

FLOOD_MB = 100
READY_RUNS = 15

# The backend: listens after a short pause that varies per run, and notes (CLOCK_MONOTONIC, as
# the bench's clock) when it could first answer and when the start URL was asked for; the ready
# URL is another path, so the navigation's request is told from the polls. /flood writes
# FLOOD_MB of 100-byte lines to standard output from a thread and notes how long it took and
# the longest single write.
BACKEND = r'''
import http.server, json, os, sys, threading, time
port, pause = int(sys.argv[1]), float(sys.argv[2])
here = os.path.dirname(os.path.abspath(__file__))
def note(**kw):
    with open(os.path.join(here, "notes.jsonl"), "a") as f:
        f.write(json.dumps(kw) + "\n")
def flood():
    line = (b"x" * 99 + b"\n") * 655
    total, longest, t0 = 0, 0.0, time.monotonic()
    while total < %d * 1000 * 1000:
        w0 = time.monotonic()
        total += os.write(1, line)
        longest = max(longest, time.monotonic() - w0)
    note(flood_s=time.monotonic() - t0, longest_write_ms=longest * 1000, bytes=total)
class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass
    def do_GET(self):
        if self.path.startswith("/index.html"):
            note(navigation=time.monotonic())
        if self.path.startswith("/visibility"):
            note(visibility=self.path)
        if self.path == "/flood":
            threading.Thread(target=flood, daemon=True).start()
        if self.path == "/flooded":
            done = os.path.exists(os.path.join(here, "notes.jsonl")) and \
                "flood_s" in open(os.path.join(here, "notes.jsonl")).read()
            return self.send(b"1" if done else b"0")
        self.send(PAGE if self.path.startswith("/index.html") else b"ok")
    def do_POST(self):
        note(page=json.loads(self.rfile.read(int(self.headers["Content-Length"]))))
        self.send(b"ok")
    def send(self, body):
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)
PAGE = open(os.path.join(here, "page.html"), "rb").read()
time.sleep(pause)
server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
note(ready=time.monotonic(), ready_wall=time.time())
server.serve_forever()
''' % FLOOD_MB

# With ?flood: cefQuery round trips before the flood, then during it until the backend says
# it is done; the trips' times go to the backend.
PAGE = """<!DOCTYPE html><html><body><script>
window.onerror = function (m) { var x = new XMLHttpRequest(); x.open('POST', '/result', true);
  x.send(JSON.stringify({error: String(m)})); };
function get(path) { var x = new XMLHttpRequest(); x.open('GET', path, false); x.send();
  return x.responseText; }
function trip(done) { var t0 = performance.now();
  cefQuery({request: 'ping', onSuccess: function () { done(performance.now() - t0); },
            onFailure: function () { done(-1); }}); }
function trips(n, out, then) { if (n == 0) { then(); return; }
  trip(function (ms) { out.push(ms); setTimeout(function () { trips(n - 1, out, then); }, 2); }); }
if (location.search == '?flood') {
  get('/visibility?' + document.visibilityState);
  var before = [], during = [];
  trips(100, before, function () {
    get('/flood');
    (function more() {
      trips(20, during, function () {
        if (get('/flooded') == '1') {
          var x = new XMLHttpRequest(); x.open('POST', '/result', true);
          x.send(JSON.stringify({before: before, during: during}));
        } else more();
      });
    })();
  });
}
</script></body></html>"""


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def notes(project):
    try:
        with open(os.path.join(project, "notes.jsonl")) as f:
            return [json.loads(l) for l in f if l.strip()]
    except OSError:
        return []


def wait_note(project, key, timeout):
    deadline = time.monotonic() + timeout
    while True:
        found = [n[key] for n in notes(project) if key in n]
        if found:
            return found[0]
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.02)


def navigation_started(log_path):
    """When the shell began the start URL's navigation: the time of its log line saying so
    (the log's layout: [pid:tid:MMDD/HHMMSS.mmm:...], local time)."""
    try:
        with open(log_path, errors="replace") as f:
            line = next((l for l in f if "backend answered" in l), None)
    except OSError:
        return None
    if not line:
        return None
    stamp = line.split(":")[2]
    now = time.localtime()
    when = time.mktime((now.tm_year, int(stamp[0:2]), int(stamp[2:4]), int(stamp[5:7]),
                        int(stamp[7:9]), int(stamp[9:11]), 0, 0, -1))
    return when + int(stamp[12:15]) / 1000.0


def run_one(bench, args, pause, flood=False):
    token = bench.token("backend")
    home = bench.run_dir(token)
    project = os.path.join(home, "project")
    os.makedirs(os.path.join(project, "temp", "js"))
    with open(os.path.join(project, "app.qvex"), "w") as f:
        json.dump({"type": "backend", "fronturl": "http://127.0.0.1:{port}/index.html" +
                   ("?flood" if flood else ""),
                   "backend": {"command": "exec python3 -u backend.py {port} %g" % pause,
                               "ready": "http://127.0.0.1:{port}/ready"}}, f)
    for name, text in (("backend.py", BACKEND), ("page.html", PAGE),
                       ("temp/js/qvexext.js", "var app = {};"), ("temp/js/first.js", "")):
        with open(os.path.join(project, name), "w") as f:
            f.write(text)
    exe = os.path.join(bench.build, "qvexdesk_testvariant" if flood else "qvexdesk")
    env = bench.env(home, {"QVEX_PROJPATH": project, "XDG_STATE_HOME": os.path.join(home, "state"),
                           "QVEX_TEST_ANSWER_QUERIES": "quiet"})
    program = Program([exe], env, os.path.join(home, "log.txt"), marker=home)
    try:
        if not flood:
            nav = wait_note(project, "navigation", 30)
            ready = wait_note(project, "ready", 1)
            wall = wait_note(project, "ready_wall", 1)
            started = navigation_started(os.path.join(home, "log.txt"))
            if not (nav and ready and started):
                return {"error": "no navigation"}
            return {"ms": (started - wall) * 1000, "request_ms": (nav - ready) * 1000}
        page = None
        base = 0
        peak = 0
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline:
            rss = rss_kib(program.proc.pid)
            if not base and wait_note(project, "navigation", 0):
                time.sleep(1.0)
                base = rss_kib(program.proc.pid)
            peak = max(peak, rss) if base else peak
            page = wait_note(project, "page", 0)
            if page:
                break
            time.sleep(0.05)
        if page and "error" in page:
            return {"error": "the page: " + page["error"]}
        if not page:
            return {"error": "no result from the page", "log": bench.log_tail(home)}
        result = {"base_mib": base / 1024.0, "peak_mib": peak / 1024.0,
                  "before_ms": statistics.mean([t for t in page["before"] if t >= 0]),
                  "during_ms": statistics.mean([t for t in page["during"] if t >= 0]),
                  "during_max_ms": max(page["during"]), "trips_during": len(page["during"])}
        for n in notes(project):
            if "flood_s" in n:
                result.update(flood_s=n["flood_s"], longest_write_ms=n["longest_write_ms"])
        return result
    finally:
        program.kill()


def run(bench, args, out):
    readies, requests = [], []
    for i in range(READY_RUNS):
        r = run_one(bench, args, 0.2 + 0.037 * i)
        if "ms" in r:
            readies.append(r["ms"])
            requests.append(r["request_ms"])
        else:
            out("backend run %d failed: %s" % (i + 1, r["error"]))
    flood = run_one(bench, args, 0.2, flood=True)
    out("")
    out("## Backend (%d starts; one %d MB output flood)" % (READY_RUNS, FLOOD_MB))
    out("")
    if readies:
        out("- from the backend's first possible answer to the start URL's navigation: median "
            "%.1f ms (min %.1f, max %.1f; the log's clock counts whole ms)" % (
                statistics.median(readies), min(readies), max(readies)))
        out("- ... to the start URL's request reaching the backend (the first load also starts "
            "WebKit's network process): median %.1f ms" % statistics.median(requests))
    if "error" in flood:
        out("- flood: %s\n%s" % (flood["error"], flood.get("log", "")))
    else:
        out("- flood of %d MB: written in %.2f s, longest single write %.1f ms; shell RSS %.1f "
            "MiB before, %.1f MiB at most during it (+%.1f MiB)" % (
                FLOOD_MB, flood.get("flood_s", 0), flood.get("longest_write_ms", 0),
                flood["base_mib"], flood["peak_mib"], flood["peak_mib"] - flood["base_mib"]))
        out("- cefQuery round trip (the page's clock counts whole ms): mean %.2f ms before the "
            "flood, %.2f ms during it (max "
            "%.1f ms, %d trips)" % (flood["before_ms"], flood["during_ms"],
                                    flood["during_max_ms"], flood["trips_during"]))
    return {"ready_to_navigation_ms": readies, "ready_to_request_ms": requests, "flood": flood}
