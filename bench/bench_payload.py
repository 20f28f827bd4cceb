"""The payload part of the bench: cefQuery round trips with megabytes each way against one raw
WebKit user message of the same size and the memory a 50 MiB round trip takes (the
clipboard has a part of its own, bench_clipboard.py). bench.py calls run(); pages are templates
({{TOKEN}} is filled in by the server)."""

import os
import statistics
import time

from bench_env import program_pids

MIB = 1024 * 1024
SIZES_MIB = (1, 10, 50)
MEMORY_MIB = 50

# Round trips of SIZE MiB requests: cefQuery answered by the test variant with "answer:" +
# the request, or rawPing echoing the request in the bare program. Each string is built before
# its clock starts; the answer's length and ends are checked, so a cut answer is an error.
# With ?memory=1 the page builds one request of MEMORY_MIB, reports itself idle, waits, then
# makes the round trip: the bench reads the processes' memory before and at the peak.
PAYLOAD_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>payload</title></head>
<body><script>
function post(obj) {
  var x = new XMLHttpRequest();
  x.open('POST', '/result?t={{TOKEN}}', true);
  x.send(JSON.stringify(obj));
}
function marker(name) {
  var x = new XMLHttpRequest();
  x.open('GET', '/loaded?t={{TOKEN}}' + name, true);
  x.send();
}
var send, prefix = '';
if (typeof cefQuery === 'function') {
  prefix = 'answer:';
  send = function (text, done, fail) {
    cefQuery({request: text, onSuccess: done,
              onFailure: function (code, message) { fail(code + ' ' + message); }});
  };
} else if (typeof rawPing === 'function') {
  send = function (text, done, fail) { rawPing(text, done); };
}
// Mostly ASCII, as JSON documents and source files are, with one character beyond ASCII at
// each end so the text is not plain Latin-1.
function payload(bytes) {
  return '\\u00e9' + 'x'.repeat(bytes - 4) + '\\u00e9';
}
// The bench's microsecond clock where the program has it: the page's own counts whole
// milliseconds, too coarse for a 1 MiB round trip of about ten.
var now = typeof benchNow === 'function' ? function () { return benchNow() / 1000; }
                                         : function () { return performance.now(); };
function trips(plan, k, out, built) {
  if (k >= plan.length) { post({trips: out}); return; }
  var mib = plan[k], text = built || payload(mib * 1048576);
  var t0 = now();
  send(text, function (response) {
    var ms = now() - t0;
    if (response.length !== prefix.length + text.length ||
        response.slice(0, prefix.length + 2) !== prefix + text.slice(0, 2) ||
        response.slice(-2) !== text.slice(-2)) {
      post({error: 'answer of ' + mib + ' MiB has ' + response.length + ' units'});
      return;
    }
    out.push([mib, ms]);
    text = response = null;
    setTimeout(function () { trips(plan, k + 1, out); }, 50);
  }, function (why) { post({error: 'round trip failed: ' + why}); });
}
function run() {
  if (!send) { post({error: 'neither cefQuery nor rawPing in the page'}); return; }
  if (/memory=1/.test(location.search)) {
    // The request is the page's own data: built before the idle level is read.
    var built = payload({{MEMORY_MIB}} * 1048576);
    built.charCodeAt(1);
    marker('-idle');
    setTimeout(function () { trips([{{MEMORY_MIB}}], 0, [], built); built = null; }, 1500);
    return;
  }
  trips({{PLAN}}, 0, []);
}
addEventListener('load', function () { setTimeout(run, 300); });
</script></body></html>"""

def pages(reps):
    plan = [1]  # Warm-up, not counted.
    for mib in SIZES_MIB:
        plan += [mib] * max(1, reps // (1 if mib == 1 else 2 if mib == 10 else 4))
    return {"/payload.html": PAYLOAD_PAGE.replace("{{PLAN}}", str(plan))
            .replace("{{MEMORY_MIB}}", str(MEMORY_MIB))}


def rss_kib(pids, field):
    total = 0
    for pid in pids:
        try:
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    if line.startswith(field + ":"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total


def memory_run(bench, name):
    """Resident memory of the program's processes when the page is idle and at the peak of one
    round trip (the kernel's high-water mark, reset once the page is idle)."""
    token = bench.token(name)
    home = bench.run_dir(token)
    argv, env = bench.command(name, bench.server.origin + "/payload.html?t=" + token +
                              "&memory=1", home, instrumented=True)
    from bench_env import Program
    program = Program(argv, env, os.path.join(home, "log.txt"), marker=home)
    try:
        if bench.server.wait(bench.server.events, token + "-idle", 60) is None:
            return {"error": "the page never became idle", "log": bench.log_tail(home)}
        time.sleep(0.5)
        pids = program_pids(program.proc.pid, home)
        idle_each = {pid: rss_kib([pid], "VmRSS") for pid in pids}
        idle = sum(idle_each.values())
        for pid in pids:   # Peak so far := now.
            try:
                with open("/proc/%d/clear_refs" % pid, "w") as f:
                    f.write("5")
            except OSError:
                pass
        result = bench.server.wait(bench.server.results, token, 120)
        if result is None or "error" in result:
            return result or {"error": "no result"}
        peak = rss_kib(pids, "VmHWM")
        each = []
        for pid in pids:
            try:
                with open("/proc/%d/comm" % pid) as f:
                    name = f.read().strip()
            except OSError:
                continue
            above = (rss_kib([pid], "VmHWM") - idle_each[pid]) / 1024.0
            if above >= 1:
                each.append("%s %.0f" % (name, above))
        return {"idle_mib": idle / 1024.0, "peak_mib": peak / 1024.0,
                "above_mib": (peak - idle) / 1024.0, "ms": result["trips"][0][1],
                "each": each}
    finally:
        program.kill()


def run(bench, args, out):
    pairs = []
    for _ in range(args.page_runs):   # alternated, so the machine's drift hits both alike
        pairs.append((bench.page_run("qvexdesk-variant", "/payload.html"),
                      bench.page_run("bare", "/payload.html")))
    out("")
    out("## Large router messages (%d processes each, alternated; request and answer both of "
        "the size)" % args.page_runs)
    out("")
    per = {}
    for index, label in ((0, "qvexdesk"), (1, "raw")):
        for pair in pairs:
            r = pair[index]
            if "error" in r:
                out("- %s: a run failed: %s" % (label, r["error"]))
                if r.get("log"):
                    out("```\n%s\n```" % r["log"].strip())
                continue
            for mib, ms in r["trips"][1:]:
                per.setdefault((label, mib), []).append(ms)
    out("| request = answer | cefQuery round trip | raw user message | ratio | per-pair ratios |")
    out("|---|---|---|---|---|")
    stats = {}
    for mib in SIZES_MIB:
        q, r = per.get(("qvexdesk", mib)), per.get(("raw", mib))
        if not q or not r:
            out("| %d MiB | n/a | n/a | | |" % mib)
            continue
        pair_ratios = []
        for a, b in pairs:
            if "error" in a or "error" in b:
                continue
            qa = [ms for m, ms in a["trips"][1:] if m == mib]
            rb = [ms for m, ms in b["trips"][1:] if m == mib]
            pair_ratios.append(statistics.median(qa) / statistics.median(rb))
        qm, rm = statistics.median(q), statistics.median(r)
        stats[mib] = {"qvexdesk": q, "raw": r, "ratio": qm / rm, "pairs": pair_ratios}
        out("| %d MiB | %.1f ms (%.1f-%.1f) | %.1f ms (%.1f-%.1f) | %.2fx | %s |" % (
            mib, qm, min(q), max(q), rm, min(r), max(r), qm / rm,
            ", ".join("%.2fx" % x for x in pair_ratios)))
    out("")
    out("(medians (min-max) of every round trip; target: ratio <= 1.3x at each size)")

    mem = {}
    for name, label in (("qvexdesk-variant", "qvexdesk"), ("bare", "raw")):
        mem[label] = memory_run(bench, name)
    out("")
    for label, m in mem.items():
        if not m or "error" in m:
            out("- memory, %s: failed: %s" % (label, (m or {}).get("error")))
            continue
        out("- memory of a %d MiB round trip, %s (all its processes, resident peak above "
            "the level with the request built in the page): %.0f MiB = %.2fx the payload (idle %.0f "
            "MiB, peak %.0f MiB; above idle by process, MiB: %s)%s" % (
                MEMORY_MIB, label, m["above_mib"], m["above_mib"] / MEMORY_MIB, m["idle_mib"],
                m["peak_mib"], ", ".join(m["each"]),
                "; target <= 4x" if label == "qvexdesk" else ""))

    return {"pairs": pairs, "stats": stats, "memory": mem}
