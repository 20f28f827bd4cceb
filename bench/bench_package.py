"""The package part of the bench: how long `qvexdesk --package` takes for the sample project
and how large the package is. bench.py calls run()."""

import os
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
SAMPLE = os.path.join(ROOT, "examples", "sample-app")


def run(bench, args, out):
    shell = os.path.join(args.build_dir, "qvexdesk")
    folder = tempfile.mkdtemp(prefix="qvex-bench-package-")
    times, size = [], 0
    try:
        env = dict(os.environ, QVEX_PROJPATH=SAMPLE, SOURCE_DATE_EPOCH="1765000000")
        for i in range(args.package_runs + 1):  # the first warms the disk cache: not counted
            started = time.monotonic()
            result = subprocess.run([shell, "--package", "--out=" + folder], env=env,
                                    capture_output=True, text=True, timeout=120)
            elapsed = (time.monotonic() - started) * 1000
            if result.returncode != 0:
                out("package: --package failed (%d): %s" % (result.returncode, result.stderr))
                return {"error": result.stderr}
            if i:
                times.append(elapsed)
            size = os.path.getsize(result.stdout.strip())
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    times.sort()
    median = times[len(times) // 2]
    out("")
    out("## The sample project's package (%d builds)" % len(times))
    out("")
    out("- `qvexdesk --package`: %.0f ms median (%.0f, %.0f)" % (median, times[0], times[-1]))
    out("- package size: %.1f KiB" % (size / 1024))
    return {"times_ms": times, "median_ms": median, "size_bytes": size}
