"""The clipboard part of the bench: clipboardWriteText with 1 and 10 MiB of text, from the
native call to the moment the shell owns the CLIPBOARD selection with it, next to xclip taking
the selection with the same text (from its start). Both are timed by clip_watch, which hears
each change of the selection's owner through XFixes, on the clock of the page's benchNow().
bench.py calls run(); pages are templates ({{TOKEN}} is filled in by the server)."""

import os
import statistics
import subprocess
import threading
import time

MIB = 1024 * 1024
CLIPBOARD_MIB = (1, 10)
REPEATS = 5

# Each write starts on the bench clock (t0, microseconds) and records when onDone ran; the
# writes are 400 ms apart so that each change of owner belongs to one write.
CLIPBOARD_PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><title>clip</title></head>
<body><textarea id=f>focused field, caret inside</textarea><script>
function post(obj) {
  var x = new XMLHttpRequest();
  x.open('POST', '/result?t={{TOKEN}}', true);
  x.send(JSON.stringify(obj));
}
function run() {
  if (typeof clipboardWriteText !== 'function') { post({error: 'no clipboardWriteText'}); return; }
  if (typeof benchNow !== 'function') { post({error: 'no benchNow'}); return; }
  // The commonest case: an editor's field has the caret.
  var f = document.getElementById('f'); f.focus(); f.setSelectionRange(3, 3);
  var plan = {{PLAN}}, out = [], k = 0;
  function next() {
    if (k >= plan.length) { post({writes: out}); return; }
    var mib = plan[k++], text = '\\u00e9' + 'y'.repeat(mib * 1048576 - 4) + '\\u00e9';
    var t0 = benchNow();
    clipboardWriteText(text, function () {
      out.push([mib, t0, (benchNow() - t0) / 1000]);
      setTimeout(next, 400);
    });
  }
  next();
}
addEventListener('load', function () { setTimeout(run, 300); });
</script></body></html>"""


def pages():
    plan = [1] + [m for m in CLIPBOARD_MIB for _ in range(REPEATS)]
    return {"/clip.html": CLIPBOARD_PAGE.replace("{{PLAN}}", str(plan))}


class Watch:
    """clip_watch running: the times (microseconds) at which the selection changed owner."""

    def __init__(self, exe, display):
        self.proc = subprocess.Popen([exe], env=dict(os.environ, DISPLAY=display),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        if self.proc.stdout.readline().strip() != "ready":
            raise RuntimeError("clip_watch did not start")
        self.changes = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.proc.stdout:
            self.changes.append(float(line.split()[0]))

    def first_after(self, t0_us, timeout=5.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            later = [t for t in list(self.changes) if t >= t0_us]
            if later:
                return (later[0] - t0_us) / 1000.0
            time.sleep(0.005)
        return None

    def close(self):
        self.proc.stdin.close()
        self.proc.wait(timeout=5)


def xclip_ms(watch, text, display):
    """xclip taking the selection with the text: from its start to the change of owner."""
    env = dict(os.environ, DISPLAY=display)
    t0 = time.monotonic() * 1e6
    proc = subprocess.Popen(["xclip", "-selection", "clipboard", "-i", "-quiet"], env=env,
                            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    proc.stdin.write(text)
    proc.stdin.close()
    ms = watch.first_after(t0)
    proc.kill()
    proc.wait()
    return ms


def clipboard_bytes(display):
    out = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                         env=dict(os.environ, DISPLAY=display), timeout=30)
    return out.stdout


def run(bench, args, out):
    display = bench.x.display
    watch = Watch(os.path.join(bench.bin, "clip_watch"), display)
    try:
        clip = bench.page_run("qvexdesk", "/clip.html")
        out("")
        out("## Clipboard (clipboardWriteText with a field's caret in the page, %d writes of each "
            "size)" % REPEATS)
        out("")
        if "error" in clip:
            out("- clipboardWriteText: failed: %s" % clip["error"])
            return {"clipboard": clip}
        # The shell has gone: the selection went with it. One more write checks the content.
        figures = {}
        for mib in CLIPBOARD_MIB:
            writes = [w for w in clip["writes"][1:] if w[0] == mib]
            owned = [watch.first_after(t0, timeout=0.5) for _, t0, _ in writes]
            done = [ms for _, _, ms in writes]
            theirs = [x for x in (xclip_ms(watch, b"y" * (mib * MIB), display)
                                  for _ in range(REPEATS)) if x is not None]
            ours = [x for x in owned if x is not None]
            figures[mib] = {"owned_ms": ours, "ondone_ms": done, "xclip_ms": theirs}
            ratio = (statistics.median(ours) / statistics.median(theirs)
                     if ours and theirs else None)
            out("- %d MiB: call to the shell owning CLIPBOARD median %s ms (%s); xclip taking it "
                "with the same text median %s ms (%s); ratio %s (target <= 2x); call to onDone "
                "median %.1f ms" % (
                    mib, "%.1f" % statistics.median(ours) if ours else "n/a",
                    ", ".join("%.1f" % x for x in ours),
                    "%.1f" % statistics.median(theirs) if theirs else "n/a",
                    ", ".join("%.1f" % x for x in theirs),
                    "%.2fx" % ratio if ratio else "n/a", statistics.median(done)))
        return {"clipboard": clip, "figures": figures}
    finally:
        watch.close()
