"""The single-instance part of the bench: with an app running (an id, so one instance), how
long a second start of the same app takes from its spawn to its exit, having asked the first
to come forward. bench.py calls run()."""

import json
import os
import statistics
import subprocess
import time


def run(bench, args, out):
    home = bench.run_dir(bench.token("instance"))
    project = os.path.join(home, "project")
    os.makedirs(project)
    with open(os.path.join(project, "app.qvex"), "w") as f:
        json.dump({"id": "dev.quenvale.bench", "name": "Bench"}, f)
    runtime = os.path.join(home, "run")
    os.makedirs(runtime, mode=0o700)
    env = bench.env(home, {"QVEX_PROJPATH": project, "XDG_RUNTIME_DIR": runtime})
    argv = [os.path.join(bench.build, "qvexdesk"), "--url=" + bench.server.origin + "/start.html"]
    first = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times, failed = [], []
    try:
        deadline = time.monotonic() + 30
        while not bench.x.windows(first.pid):
            if time.monotonic() > deadline:
                out("- single instance: the first instance opened no window")
                return {}
            time.sleep(0.05)
        for _ in range(args.samples // 100 or 5):
            started = time.perf_counter()
            second = subprocess.run(argv, env=env, capture_output=True, text=True, timeout=30)
            elapsed = (time.perf_counter() - started) * 1000
            if second.returncode != 0 or "already running" not in second.stdout:
                failed.append(second.stdout + second.stderr)
            else:
                times.append(elapsed)
    finally:
        first.terminate()
        first.wait(timeout=30)
    out("")
    out("## Second start of a running app (one instance per id)")
    out("")
    if failed:
        out("- %d second starts did not end as forwarded: %s" % (len(failed), failed[0][:300]))
    if times:
        out("- spawn to exit, window of the first brought forward: median %.1f ms (min %.1f, "
            "max %.1f; %d starts; target < 500 ms)" % (statistics.median(times), min(times),
                                                      max(times), len(times)))
    return {"second_start_ms": times, "failed": len(failed)}
