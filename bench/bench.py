#!/usr/bin/env python3
"""Benchmarks of the shell against a bare WebKitGTK window and Debian's chromium, side by side
in one run: cold start and memory, the native bridge, the message router, main-frame loads,
large router messages (bench_payload.py), the close, and a project's backend
(bench_backend.py).

Everything runs in a private Xvfb with pages served on 127.0.0.1 (bench_env.py, the pages in
bench_pages.py). Python's standard library only; bench/run.sh builds what it needs and calls
this."""

import argparse
import json
import math
import os
import shutil
import statistics
import sys
import tempfile
import threading
import time

from bench_env import (CHROMIUM, Program, Server, X, foreign_sharers, machine, machine_cpu,
                       memory, process_cpu, program_pids, wait_quiet)
from bench_pages import (BRIDGE_PAGE, FIRST_JS, LOADS_PAGE, QVEXEXT_JS, ROUTER_PAGE,
                         START_PAGE)
import bench_backend
import bench_clipboard
import bench_instance
import bench_package
import bench_payload

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
CHROMIUM_FLAGS = ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--window-size=800,600"]
SETTLE_S = 1.0        # after the load event, before memory is read
LOAD_TIMEOUT_S = 30
EXIT_TIMEOUT_S = 10
PAGE_TIMEOUT_S = 60

# --- statistics --------------------------------------------------------------------------------

def pct(values, p):
    s = sorted(values)
    return s[max(0, min(len(s) - 1, int(math.ceil(p / 100.0 * len(s))) - 1))]


def summary(values):
    if not values:
        return None
    return {"median": statistics.median(values), "min": min(values), "max": max(values),
            "p99": pct(values, 99), "n": len(values)}


def ratio(a, b):
    if not a or not b or not b["median"]:
        return None
    return a["median"] / b["median"]


# --- the bench ---------------------------------------------------------------------------------

class Bench:
    def __init__(self, args):
        self.args = args
        self.build = os.path.abspath(args.build_dir)
        self.bin = os.path.join(self.build, "bench")
        self.tmp = tempfile.mkdtemp(prefix="qvex-bench-")
        self.x = X()
        self.server = Server()
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.server.pages = {"/start.html": START_PAGE,
                             "/bridge.html": BRIDGE_PAGE.replace("{{CALLS}}", str(args.calls))
                             .replace("{{REPS}}", str(args.reps))
                             .replace("{{DELIVERIES}}", str(args.samples)),
                             "/router.html": ROUTER_PAGE.replace("{{TRIPS}}", str(args.samples)),
                             "/loads.html": LOADS_PAGE.replace("{{LOADS}}", str(args.loads))}
        self.server.pages.update(bench_payload.pages(args.payload_reps))
        self.server.pages.update(bench_clipboard.pages())
        self.counter = 0
        self.notes = []

    def close(self):
        self.server.shutdown()
        self.server.server_close()
        self.x.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def token(self, name):
        self.counter += 1
        return "%s-%d" % (name, self.counter)

    def run_dir(self, token):
        path = os.path.join(self.tmp, token)
        os.makedirs(path)
        return path

    def env(self, home, extra=None):
        """A fresh profile for every run: WebKit's and GTK's data, cache and config go to a new
        directory, as chromium's --user-data-dir does."""
        env = dict(os.environ)
        env.pop("QVEX_PROJPATH", None)
        env["DISPLAY"] = self.x.display
        for var, sub in (("XDG_CONFIG_HOME", "config"), ("XDG_CACHE_HOME", "cache"),
                         ("XDG_DATA_HOME", "data")):
            env[var] = os.path.join(home, sub)
            os.makedirs(env[var], exist_ok=True)
        env.update(extra or {})
        return env

    def project(self, home, url):
        path = os.path.join(home, "project")
        os.makedirs(os.path.join(path, "temp", "js"))
        with open(os.path.join(path, "app.qvex"), "w") as f:
            json.dump({"type": "backend", "fronturl": url}, f)
        with open(os.path.join(path, "temp", "js", "qvexext.js"), "w") as f:
            f.write(QVEXEXT_JS)
        with open(os.path.join(path, "temp", "js", "first.js"), "w") as f:
            f.write(FIRST_JS)
        return path

    def command(self, name, url, home, instrumented=False):
        """argv and environment of one program on one URL."""
        if name == "qvexdesk":
            exe = os.path.join(self.bin, "instr", "qvexdesk") if instrumented else \
                os.path.join(self.build, "qvexdesk")
            return [exe], self.env(home, {"QVEX_PROJPATH": self.project(home, url)})
        if name == "qvexdesk-plain":  # No backend project: no start-up script.
            return [os.path.join(self.build, "qvexdesk"), "--url=" + url], self.env(home)
        if name == "qvexdesk-variant":
            return ([os.path.join(self.bin, "instr", "qvexdesk_testvariant"), "--url=" + url],
                    self.env(home, {"QVEX_TEST_ANSWER_QUERIES": "quiet"}))
        if name == "bare":
            argv = [os.path.join(self.bin, "bare_webkit")]
            if instrumented:
                argv += ["--ext-dir", os.path.join(self.bin, "ext")]
            return argv + [url], self.env(home)
        if name == "chromium":
            return ([CHROMIUM] + CHROMIUM_FLAGS +
                    ["--user-data-dir=" + os.path.join(home, "chromium-profile"), "--app=" + url],
                    self.env(home))
        raise ValueError(name)

    # (1) and (4): cold start to the load event, memory after it settles, then the close.
    def cold_run(self, name):
        token = self.token(name)
        home = self.run_dir(token)
        argv, env = self.command(name, self.server.origin + "/start.html?t=" + token, home)
        helpers = [os.getpid(), self.x.proc.pid]   # this harness and the X server serve the run
        machine0, helpers0 = machine_cpu(), process_cpu(helpers)
        program = Program(argv, env, os.path.join(home, "log.txt"), marker=home)
        result = {}
        try:
            loaded = self.server.wait(self.server.events, token, LOAD_TIMEOUT_S)
            if loaded is None:
                result["error"] = "no load event within %d s" % LOAD_TIMEOUT_S
                return result
            result["start_ms"] = (loaded - program.started) * 1000
            # CPU time that other work on the machine took while this program started.
            ours = process_cpu(program_pids(program.proc.pid, home)) + \
                process_cpu(helpers) - helpers0
            result["others_cpu_s"] = max(0.0, machine_cpu() - machine0 - ours)
            time.sleep(SETTLE_S)
            pss, uss, names = memory(program.proc.pid, home)
            result.update(pss_mib=pss / 1024.0, uss_mib=uss / 1024.0, procs=names)
            sharers = foreign_sharers(program.proc.pid, home)
            if sharers:
                result["sharers"] = sharers
            windows = []
            deadline = time.monotonic() + 10
            while not windows and time.monotonic() < deadline:
                windows = self.x.windows(program.proc.pid)
                if not windows:
                    time.sleep(0.05)
            if not windows:
                result["error"] = "no visible window"
                return result
            self.x.close(windows)
            asked = time.monotonic()
            exited = program.wait_exit(EXIT_TIMEOUT_S)
            if exited is None:
                result["close_error"] = "still running %d s after the close request" % EXIT_TIMEOUT_S
            else:
                result["close_ms"] = (exited - asked) * 1000
                result["exit_code"] = program.proc.returncode
                unloaded = self.server.unloads.get(token)
                if unloaded is not None:
                    result["unload_ms"] = (unloaded - asked) * 1000
                    result["unload_had_ms"] = (exited - unloaded) * 1000
            return result
        finally:
            program.kill()
            if "error" in result:
                result["log"] = self.log_tail(home)

    def log_tail(self, home):
        try:
            with open(os.path.join(home, "log.txt"), "rb") as f:
                return f.read()[-600:].decode("utf-8", "replace")
        except OSError:
            return ""

    def page_run(self, name, page, query="", instrumented=True):
        """One program instance on a measuring page; returns what the page posted."""
        token = self.token(name)
        home = self.run_dir(token)
        argv, env = self.command(name, self.server.origin + page + "?t=" + token + query, home,
                                 instrumented=instrumented)
        program = Program(argv, env, os.path.join(home, "log.txt"), marker=home)
        try:
            result = self.server.wait(self.server.results, token, PAGE_TIMEOUT_S)
            if result is None:
                result = {"error": "no result within %d s" % PAGE_TIMEOUT_S}
            if "error" in result:
                result["log"] = self.log_tail(home)
            return result
        finally:
            program.kill()


def fmt(s, unit, digits=0):
    if not s:
        return "n/a"
    f = "%%.%df" % digits
    return (f + " %s (min " + f + ", max " + f + ")") % (s["median"], unit, s["min"], s["max"])


def fmt_ratio(r):
    return "n/a" if r is None else "%.3fx" % r


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default=os.environ.get("QVEX_BUILD_DIR",
                                                              os.path.join(ROOT, "build-bench")))
    parser.add_argument("--runs", type=int, default=7, help="cold starts per program")
    parser.add_argument("--calls", type=int, default=200000, help="native calls per repetition")
    parser.add_argument("--reps", type=int, default=5, help="repetitions of the calls/s loop")
    parser.add_argument("--samples", type=int, default=2000,
                        help="timed deliveries or round trips per process")
    parser.add_argument("--page-runs", type=int, default=3,
                        help="processes for the bridge, and pairs for the router")
    parser.add_argument("--loads", type=int, default=60,
                        help="main-frame loads per process in the loads part")
    parser.add_argument("--payload-reps", type=int, default=8,
                        help="1 MiB round trips per process in the payload part (fewer of the "
                             "larger sizes)")
    parser.add_argument("--package-runs", type=int, default=11,
                        help="builds of the sample project's package in the package part")
    parser.add_argument("--only",
                        default="start,bridge,router,loads,payload,clipboard,instance,backend,"
                                "package",
                        help="comma-separated parts: start, bridge, router, loads, payload, "
                             "clipboard, instance, backend, package")
    parser.add_argument("--no-chromium", action="store_true")
    parser.add_argument("--others-cpu-limit", type=float, default=0.2,
                        help="CPU seconds other work may take during one start before the "
                             "start is run again")
    parser.add_argument("--quiet-wait", type=float, default=30,
                        help="seconds to wait, before each part, for other work to leave the CPUs")
    parser.add_argument("--json", help="write the raw figures to this file")
    parser.add_argument("--markdown", help="write the figures as Markdown to this file")
    args = parser.parse_args()
    parts = set(args.only.split(","))

    info = machine()
    print("machine: %(nproc)s cpus, %(cpu)s, %(memory)s, Debian %(debian)s, kernel %(kernel)s" % info)
    print("versions: WebKitGTK %(webkitgtk)s, GTK %(gtk)s, %(chromium)s, Python %(python)s" % info)
    print("load average before: %s" % " ".join(info["loadavg"]))
    bench = Bench(args)
    report = {"machine": info, "args": vars(args)}
    lines = []

    def out(line=""):
        print(line, flush=True)
        lines.append(line)

    try:
        def settle(part):
            busy = wait_quiet(args.quiet_wait)
            report.setdefault("busy_before", {})[part] = busy
            if busy >= 0.25:
                out("(warning: other work kept %.0f%% of the CPUs busy before the %s part; "
                    "its timings are unreliable)" % (busy * 100, part))

        if "start" in parts:
            settle("start")
            programs = ["qvexdesk", "bare"] + ([] if args.no_chromium else ["chromium"])
            runs = {p: [] for p in programs}
            for p in programs:   # warm-up: the disk cache, fontconfig; not counted
                warm = bench.cold_run(p)
                if "error" in warm:
                    out("%s: warm-up failed: %s\n%s" % (p, warm["error"], warm.get("log", "")))
            discarded = {p: 0 for p in programs}
            # A start during which other work took a good share of the CPUs is run again:
            # start-up keeps both CPUs busy. The budget keeps a busy machine from making the
            # bench endless; what is left of it is reported.
            retries = 2 * len(programs)
            for i in range(args.runs):
                order = programs[i % len(programs):] + programs[:i % len(programs)]
                for p in order:
                    while True:
                        r = bench.cold_run(p)
                        if r.get("others_cpu_s", 0) <= args.others_cpu_limit or retries <= 0:
                            break
                        retries -= 1
                        discarded[p] += 1
                        print("  %-9s run %d: others took %.2f s of CPU during the start; "
                              "again" % (p, i + 1, r["others_cpu_s"]), flush=True)
                        wait_quiet(10)
                    runs[p].append(r)
                    print("  %-9s run %d: %s" % (p, i + 1, ", ".join(
                        "%s=%s" % (k, ("%.1f" % v) if isinstance(v, float) else v)
                        for k, v in r.items() if k not in ("procs", "log", "sharers"))) +
                        (" [%d foreign sharers]" % len(r["sharers"]) if r.get("sharers") else ""),
                        flush=True)
            stats = {}
            for p in programs:
                ok = [r for r in runs[p] if "error" not in r]
                stats[p] = {k: summary([r[k] for r in ok if k in r])
                            for k in ("start_ms", "pss_mib", "uss_mib", "close_ms", "unload_ms",
                                      "unload_had_ms")}
                procs = ok[-1]["procs"] if ok else []
                stats[p]["procs"] = procs
                shared = [r for r in ok if r.get("sharers")]
                if shared:
                    out("(warning: in %d of %d %s runs other programs mapped the same engine "
                        "libraries, which lowers PSS: %s)" % (
                            len(shared), len(ok), p, ", ".join(shared[0]["sharers"][:6])))
                failed = [r for r in runs[p] if "error" in r]
                if failed:
                    out("%s: %d of %d runs failed: %s" % (p, len(failed), len(runs[p]),
                                                          failed[0]["error"]))
            report["start"] = {"runs": runs, "stats": stats, "discarded": discarded}
            out("")
            out("## Cold start, memory and close (%d runs each, medians (min, max))" % args.runs)
            out("")
            out("| program | start to load event | PSS, all processes | private (USS) | close to exit | processes |")
            out("|---|---|---|---|---|---|")
            for p in programs:
                s = stats[p]
                out("| %s | %s | %s | %s | %s | %d: %s |" % (
                    p, fmt(s["start_ms"], "ms"), fmt(s["pss_mib"], "MiB", 1),
                    fmt(s["uss_mib"], "MiB", 1), fmt(s["close_ms"], "ms"), len(s["procs"]),
                    ", ".join(sorted(set(s["procs"])))))
            out("")
            q, b = stats["qvexdesk"], stats["bare"]
            out("- start qvexdesk / bare WebKitGTK: %s (target <= 1.05x)" %
                fmt_ratio(ratio(q["start_ms"], b["start_ms"])))
            out("- PSS qvexdesk / bare WebKitGTK: %s (target <= 1.05x)" %
                fmt_ratio(ratio(q["pss_mib"], b["pss_mib"])))
            if "chromium" in stats:
                c = stats["chromium"]
                out("- start qvexdesk / chromium --app: %s; bare / chromium: %s" % (
                    fmt_ratio(ratio(q["start_ms"], c["start_ms"])),
                    fmt_ratio(ratio(b["start_ms"], c["start_ms"]))))
                out("- PSS qvexdesk / chromium --app: %s; bare / chromium: %s" % (
                    fmt_ratio(ratio(q["pss_mib"], c["pss_mib"])),
                    fmt_ratio(ratio(b["pss_mib"], c["pss_mib"]))))
            out("- close request to exit, qvexdesk: %s (target < 450 ms, 300 ms of it the "
                "deliberate pause)" % fmt(q["close_ms"], "ms"))
            out("- the page's unload ran %s after the close request and had %s before the exit "
                "(the pause follows it)" % (fmt(q.get("unload_ms"), "ms"),
                                            fmt(q.get("unload_had_ms"), "ms")))
            disturbed = sum(1 for p in programs for r in runs[p]
                            if r.get("others_cpu_s", 0) > args.others_cpu_limit)
            if disturbed:
                out("(warning: %d starts ran while other work took more than %.2f s of CPU; "
                    "their times are too long)" % (disturbed, args.others_cpu_limit))
            out("- other work's CPU time during each start, median: %s; starts run again "
                "because other work took more than %.2f s: %s" % (
                    ", ".join("%s %.2f s" % (p, statistics.median(
                        [r.get("others_cpu_s", 0) for r in runs[p]])) for p in programs),
                    args.others_cpu_limit,
                    ", ".join("%s %d" % (p, n) for p, n in discarded.items())))

        if "bridge" in parts:
            settle("bridge")
            results = [bench.page_run("qvexdesk", "/bridge.html") for _ in range(args.page_runs)]
            report["bridge"] = results
            out("")
            out("## Native bridge (qvexdesk, backend project; %d processes)" % args.page_runs)
            out("")
            ok = [r for r in results if "error" not in r]
            for r in results:
                if "error" in r:
                    out("- a run failed: %s" % r["error"])
                    if r.get("log"):
                        out("```\n%s\n```" % r["log"].strip())
            if ok:
                pool = lambda key: [v for r in ok for v in r[key]]
                native, bare, gobject = summary(pool("native")), summary(pool("bare")), \
                    summary(pool("gobject"))
                lat = summary(pool("latency"))
                kilo = lambda st: {k: v / 1000 for k, v in st.items()}
                out("- no-op native `sendKey()` from a page loop: %s (target >= 400k/s); "
                    "%d loops of %d calls per process" % (fmt(kilo(native), "k calls/s"),
                                                          args.reps, args.calls))
                out("- the floor, a bare JavaScriptCore C-API callback in the same loop: %s; "
                    "native / floor %s" % (fmt(kilo(bare), "k calls/s"),
                                           fmt_ratio(ratio(native, bare))))
                out("- a bare callback through JavaScriptCore's GObject API: %s" %
                    fmt(kilo(gobject), "k calls/s"))
                medians = [statistics.median(r["latency"]) for r in ok]
                out("- `registerCallBack` call to its posted `onRegistered`: median %.1f us, "
                    "p99 %.1f us (min %.1f, max %.1f) over %d calls; per-process medians "
                    "%s us (target: median < 20 us); reading the clock costs %.2f us; "
                    "numbers delivered first: %s" % (
                        lat["median"], lat["p99"], lat["min"], lat["max"], lat["n"],
                        ", ".join("%.1f" % m for m in medians), ok[0]["clock"],
                        ", ".join(ok[0].get("registered", []))))
                report["bridge_stats"] = {"native": native, "bare": bare, "gobject": gobject,
                                          "latency": lat}

        if "router" in parts:
            settle("router")
            pairs = []
            for _ in range(args.page_runs):   # alternated, so drift in load hits both alike
                pairs.append((bench.page_run("qvexdesk-variant", "/router.html"),
                              bench.page_run("bare", "/router.html")))
            report["router"] = pairs
            out("")
            out("## Message router against a raw WebKit user message (%d processes each)" %
                args.page_runs)
            out("")
            stats = {}
            for index, label in ((0, "cefQuery (test variant answers at once)"),
                                 (1, "raw user message + reply (bare program)")):
                runs = [pair[index] for pair in pairs]
                for r in runs:
                    if "error" in r:
                        out("- %s: a run failed: %s" % (label, r["error"]))
                ok = [r for r in runs if "error" not in r]
                if not ok:
                    continue
                s = summary([v for r in ok for v in r["latency"]])
                stats[label] = s
                out("- %s: median %.1f us, p99 %.1f us (min %.1f, max %.1f) over %d round "
                    "trips; per-process medians %s us; answer %r; reading the clock costs %s us" % (
                        label, s["median"], s["p99"], s["min"], s["max"], s["n"],
                        ", ".join("%.1f" % statistics.median(r["latency"]) for r in ok),
                        ok[0].get("answer"), ", ".join("%.2f" % r["clock"] for r in ok)))
            if len(stats) == 2:
                a, b = list(stats.values())
                per_pair = [statistics.median(q["latency"]) / statistics.median(r["latency"])
                            for q, r in pairs if "error" not in q and "error" not in r]
                out("- cefQuery / raw: %s of the pooled medians, per pair %s (target <= 1.2x)" % (
                    fmt_ratio(ratio(a, b)), ", ".join("%.2fx" % x for x in per_pair)))
            report["router_stats"] = stats
        if "loads" in parts:
            settle("loads")
            programs = ["qvexdesk", "qvexdesk-plain", "bare"]
            results = {p: [] for p in programs}
            for _ in range(args.page_runs):   # in turns, so drift in load hits all alike
                for p in programs:
                    results[p].append(bench.page_run(p, "/loads.html", "&n=0",
                                                     instrumented=False))
            report["loads"] = results
            out("")
            out("## Main-frame loads: navigation start to load event (%d processes of %d "
                "loads each)" % (args.page_runs, args.loads))
            out("")
            stats = {}
            labels = {"qvexdesk": "qvexdesk, backend project (first.js before each document)",
                      "qvexdesk-plain": "qvexdesk, no project (no start-up script)",
                      "bare": "bare WebKitGTK"}
            for p in programs:
                ok = [r for r in results[p] if "error" not in r]
                for r in results[p]:
                    if "error" in r:
                        out("- %s: a run failed: %s" % (p, r["error"]))
                if not ok:
                    continue
                values = [v for r in ok for v in r["times"]]
                stats[p] = summary(values)
                # The page's clock counts whole milliseconds: the mean tells more than the median.
                stats[p]["mean"] = statistics.mean(values)
                out("- %s: %s, mean %.2f ms; documents whose first script saw first.js: %s" % (
                    labels[p], fmt(stats[p], "ms", 2), stats[p]["mean"],
                    ", ".join("%d/%d" % (r["seen_first_js"], args.loads + 1) for r in ok)))
            if "qvexdesk" in stats and "qvexdesk-plain" in stats:
                out("- the start-up script adds %+.2f ms to a load's median, %+.2f ms to its "
                    "mean (%s)" % (
                        stats["qvexdesk"]["median"] - stats["qvexdesk-plain"]["median"],
                        stats["qvexdesk"]["mean"] - stats["qvexdesk-plain"]["mean"],
                        fmt_ratio(ratio(stats["qvexdesk"], stats["qvexdesk-plain"]))))
            if "qvexdesk" in stats and "bare" in stats:
                out("- qvexdesk / bare WebKitGTK: %s" % fmt_ratio(ratio(stats["qvexdesk"],
                                                                       stats["bare"])))
            report["loads_stats"] = stats
        # The parts kept in modules of their own, each run the same way.
        for name, module in (("payload", bench_payload), ("clipboard", bench_clipboard),
                             ("instance", bench_instance), ("backend", bench_backend),
                             ("package", bench_package)):
            if name in parts:
                settle(name)
                report[name] = module.run(bench, args, out)
    finally:
        bench.close()

    report["loadavg_after"] = open("/proc/loadavg").read().split()[:3]
    out("")
    out("load average after: %s" % " ".join(report["loadavg_after"]))
    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=1, default=str)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write("Machine: %(nproc)s CPUs (%(cpu)s), %(memory)s, Debian %(debian)s, kernel "
                    "%(kernel)s; WebKitGTK %(webkitgtk)s, GTK %(gtk)s, %(chromium)s.\n\n" % info)
            f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
