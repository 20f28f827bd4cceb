#!/usr/bin/env python3
"""Instructions per small router round trip, UI and web process, for qvexdesk and the bare
program: each runs the router page under callgrind (following its children) with N and 3N
round trips; the difference divided by 2N cancels start-up. Instruction counts stay steady on
a loaded machine where times do not. Needs the programs bench/run.sh builds (run it once).

  python3 bench/profile_router.py --build-dir build --trips 500 [--keep DIR]
"""

import argparse
import glob
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import bench  # noqa: E402
from bench_env import program_pids  # noqa: E402

bench.PAGE_TIMEOUT_S = 1800
# Under callgrind the loop takes minutes; the page's own watchdog must not end it.
bench.ROUTER_PAGE = bench.ROUTER_PAGE.replace("20000", "1800000")


class Profiled(bench.Bench):
    def __init__(self, args, out):
        super().__init__(args)
        self.out = out

    def command(self, name, url, home, instrumented=False):
        argv, env = super().command(name, url, home, instrumented)
        return (["valgrind", "--tool=callgrind", "--trace-children=yes",
                 "--callgrind-out-file=%s/cg.%%p" % self.out] + argv, env)

    def page_run(self, name, page, query="", instrumented=True):
        token = self.token(name)
        home = self.run_dir(token)
        argv, env = self.command(name, self.server.origin + page + "?t=" + token + query, home,
                                 instrumented=instrumented)
        program = bench.Program(argv, env, os.path.join(home, "log.txt"), marker=home)
        try:
            result = self.server.wait(self.server.results, token, bench.PAGE_TIMEOUT_S)
            pids = program_pids(program.proc.pid, home)
            subprocess.run(["callgrind_control", "-d"] + [str(p) for p in pids],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            time.sleep(2)
            return result
        finally:
            program.kill()


def totals(path):
    """(command, total instructions, {function: self instructions})."""
    cmd, total, fns, fn = "", 0, {}, None
    names = {}
    with open(path, errors="replace") as f:
        for line in f:
            if line.startswith("cmd:"):
                cmd = line[4:].strip()
            elif line.startswith("summary:") or line.startswith("totals:"):
                total = int(line.split()[1])
            elif line.startswith("fn="):
                m = re.match(r"fn=\((\d+)\)(?: (.*))?", line.strip())
                if m:
                    if m.group(2):
                        names[m.group(1)] = m.group(2)
                    fn = names.get(m.group(1), m.group(1))
                else:
                    fn = line[3:].strip()
            elif line[:1].isdigit() or line[:1] in "+-*":
                if fn is not None and not sub_call:
                    parts = line.split()
                    if len(parts) >= 2:
                        fns[fn] = fns.get(fn, 0) + int(parts[1])
                sub_call = False
                continue
            sub_call = line.startswith("calls=")
            if line.startswith("cfn=") or line.startswith("cfi=") or line.startswith("cob="):
                m = re.match(r"cfn=\((\d+)\) (.*)", line.strip())
                if m:
                    names[m.group(1)] = m.group(2)
    return cmd, total, fns


sub_call = False


def role(cmd):
    if "WebKitWebProcess" in cmd:
        return "web"
    if "WebKitNetworkProcess" in cmd:
        return "network"
    return "ui"


def collect(out):
    result = {}
    for path in glob.glob(os.path.join(out, "cg.*.1")):
        cmd, total, fns = totals(path)
        r = role(cmd)
        if r == "network":
            continue
        result[r] = (total, fns)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--trips", type=int, default=500)
    parser.add_argument("--programs", default="qvexdesk-variant,bare")
    parser.add_argument("--top", type=int, default=25)
    parser.add_argument("--keep", default="/tmp/qvex-profile")
    parser.add_argument("--reuse", action="store_true",
                        help="read the profiles a previous run left in --keep")
    args = parser.parse_args()
    ns = argparse.Namespace(build_dir=args.build_dir, samples=args.trips, calls=1, reps=1,
                            loads=1, payload_reps=1)
    for program in args.programs.split(","):
        runs = {}
        for trips in (args.trips, 3 * args.trips):
            out = os.path.join(args.keep, "%s-%d" % (program, trips))
            os.makedirs(out, exist_ok=True)
            if args.reuse:
                runs[trips] = collect(out)
                continue
            for old in glob.glob(os.path.join(out, "cg.*")):
                os.unlink(old)
            ns.samples = trips
            p = Profiled(ns, out)
            try:
                r = p.page_run(program, "/router.html")
            finally:
                p.close()
            if r is None or "error" in r:
                print("%s %d: failed: %r" % (program, trips, r))
                return 1
            runs[trips] = collect(out)
        small, large = runs[args.trips], runs[3 * args.trips]
        n = 2 * args.trips
        for side in ("ui", "web"):
            if side not in small or side not in large:
                print("%s %s: no profile" % (program, side))
                continue
            per = (large[side][0] - small[side][0]) / n
            print("%s %s: %.0f instructions a round trip" % (program, side, per))
            fa, fb = small[side][1], large[side][1]
            diffs = sorted(((fb.get(k, 0) - fa.get(k, 0)) / n, k) for k in set(fa) | set(fb))
            for d, k in reversed(diffs[-args.top:]):
                print("    %8.0f  %s" % (d, k[:110]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
