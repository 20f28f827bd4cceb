"""first.js on every kind of main-frame load: in place before the page's first script, once per
document; and what the sample project shows."""

import json
import os
import subprocess
import threading
import unittest

from harness import REPORT_JS, ShellTestCase, closed_port, wait_for

# Every page of the run: its first script, in <head>, says whether first.js has run in this
# document; at `load` the page asks the server what to do next and does it.
PAGE = """<!doctype html><html><head><script>
function report(k, v) {
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/report?k=' + encodeURIComponent(k) + '&v=' + encodeURIComponent(v), false);
  try { x.send(); } catch (e) {}
}
report('head', location.pathname + location.search + ' ' +
       (typeof qvex_nt_api === 'object' && window.__firstRuns === 1));
</script></head><body>
<a id="link" href="/p?via=link">link</a>
<form id="get" action="/p" method="get"><input name="via" value="formget"></form>
<form id="post" action="/p?via=formpost" method="post"><input name="field" value="posted"></form>
<div>%PADDING%</div>
<script>
window.addEventListener('load', function () {
  report('load', location.pathname + location.search + ' ' + window.__firstRuns);
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/next', false);
  x.send();
  var step = x.responseText;
  setTimeout(function () {
    if (step === 'reload') location.reload();
    else if (step === 'link') document.getElementById('link').click();
    else if (step === 'href') location.href = '/p?via=href';
    else if (step === 'assign') location.assign('/p?via=assign');
    else if (step === 'replace') location.replace('/p?via=replace');
    else if (step === 'back') history.back();
    else if (step === 'forward') history.forward();
    else if (step === 'formget') document.getElementById('get').submit();
    else if (step === 'formpost') document.getElementById('post').submit();
    else if (step === 'redirect') location.href = '/redirect?to=' + encodeURIComponent('/p?via=redirect');
    else if (step === 'cross') location.href = '{{OTHER_ORIGIN}}/p?via=cross';
    else if (step === 'home') location.href = '{{ORIGIN}}/p?via=home';
    else if (step === 'big') location.href = '/big?via=big';
    else if (step.indexOf('go ') === 0) location.href = step.slice(3);
    else if (step.indexOf('open ') === 0) {  // A pop-up, then this page goes on.
      window.open(step.split(' ')[1]);
      location.href = step.split(' ')[2];
    }
    else if (step === 'user-reload') cefQuery({request: 'variant:reload'});
    else if (step === 'error') location.href = '{{CLOSED}}/nothing-here';
    else report('done', step);
  }, 0);
});
</script></body></html>"""

ROUND = ["reload", "link", "href", "assign", "replace", "back", "forward", "formget", "formpost",
         "redirect", "cross", "home", "big", "user-reload"]


class StartScriptTestCase(ShellTestCase):
    def serve_pages(self, steps):
        port = self.server.server_address[1]
        page = (PAGE.replace("{{OTHER_ORIGIN}}", "http://localhost:%d" % port)
                .replace("{{CLOSED}}", "http://127.0.0.1:%d" % closed_port()))
        self.server.add_page("/p", page.replace("%PADDING%", ""))
        # A page of about 300 KB: the parser yields to the network in between.
        self.server.add_page("/big", page.replace("%PADDING%", "<p>padding</p>" * 22000))
        queue, lock = list(steps), threading.Lock()

        def next_step():
            with lock:
                return queue.pop(0) if queue else "end"
        self.server.dynamic = {"/next": next_step}


class LoadKindsTest(StartScriptTestCase):
    def test_first_js_is_in_place_before_the_first_script_of_every_document(self):
        rounds = 3
        self.serve_pages(ROUND * rounds)
        shell = self.start("--url=" + self.url("/p?via=start"), project=self.backend_project(),
                           env={"QVEX_TEST_ANSWER_QUERIES": "1", "QVEX_TEST_QUERY_COMMANDS": "1"})
        self.wait_report("done", timeout=120)
        heads = self.server.values("head")
        loads = self.server.values("load")
        # One document per step and the first: the start, then each step of each round.
        self.assertEqual(len(loads), 1 + len(ROUND) * rounds, loads)
        self.assertEqual([h for h in heads if not h.endswith(" true")], [],
                         "documents whose first script ran before first.js")
        self.assertEqual([l for l in loads if not l.endswith(" 1")], [],
                         "documents where first.js ran other than once")
        self.assertEqual(len(heads), len(loads))
        self.assertEqual(len(self.server.values("first")), len(loads))
        # Every kind of load took place in every round (back and forward revisit others).
        vias = [l.split(" ")[0] for l in loads]
        for kind in ("link", "href", "assign", "replace", "formget", "formpost", "redirect",
                     "cross", "home", "big"):
            self.assertGreaterEqual(sum(1 for v in vias if v.endswith("via=" + kind)), rounds,
                                    kind)
        self.assertTrue(any(l.startswith("http://localhost:")
                            for l in self.server.values("first")))
        # The load start hook came once for each of them too, with the new document's URL.
        starts = shell.load_starts()
        self.assertEqual(len(starts), len(loads), starts)
        self.assertTrue(starts[1].endswith("/p?via=start"), starts[:3])  # The reload.

    def test_error_page_and_pop_up_get_first_js(self):
        self.serve_pages(["error"])
        self.server.add_page("/opener", """<html><body><script>
window.open('/p?via=popup');
</script></body></html>""")
        self.start("--url=" + self.url("/opener"), project=self.backend_project())
        heads = self.wait_report("head")
        self.assertEqual(heads, ["/p?via=popup true"])
        # The pop-up went on to a closed port: its error page ran first.js as well.
        firsts = self.wait_report("first", count=3)
        self.assertTrue(firsts[2].startswith("data:text/html"), firsts)

    def start_a_then_b(self, detour):
        """Page /a goes to `detour`, which never becomes a document, then to /b. Each page's
        first script reports how often first.js had run there."""
        page = """<html><head><script>
var x = new XMLHttpRequest();
x.open('GET', '{{ORIGIN}}/report?k=head&v=' + location.pathname + ' ' + window.__firstRuns, false);
x.send();
</script></head><body><script>
if (location.pathname === '/a') {
  window.addEventListener('load', function () {
    location.href = '%s';
    setTimeout(function () { location.href = '/b'; }, 500);
  });
}
</script></body></html>""" % detour
        self.server.add_page("/a", page)
        self.server.add_page("/b", page)
        shell = self.start("--url=" + self.url("/a"), project=self.backend_project())
        self.assertEqual(self.wait_report("head", count=2), ["/a 1", "/b 1"])
        self.assertEqual(self.server.values("first"), [self.url("/a"), self.url("/b")])
        wait_for(lambda: any("onLoadEnd" in h and "/b" in h for h in shell.hooks()),
                 what="the load end of /b")
        # The detour had neither a start nor an end.
        self.assertEqual(shell.load_starts(), [self.url("/a"), self.url("/b")])
        self.assertEqual([h for h in shell.hooks("onLoadEnd") if detour in h], [])

    def test_a_load_without_content_leaves_no_script_for_the_next_document(self):
        self.server.dynamic = {"/nocontent": lambda: None}  # 204: the page stays.
        self.start_a_then_b("/nocontent")

    def test_a_load_cancelled_by_the_next_leaves_no_script_behind(self):
        self.start_a_then_b("/stall")  # Never gets its document.


def stream_path(**q):
    """A /stream URL, its query in the order the page reports it."""
    return "/stream?" + "&".join("%s=%s" % kv for kv in sorted(q.items()))


# Rows: the first part's size in bytes, where the 1.5 s pause falls ("html": before the <html>
# tag, "head": inside <head>, before its first script), how the body is framed, whose site.
STREAMED = [
    dict(size=200, where="html", framing="length"),  # Under WebKit's 512-byte sniffing.
    dict(size=600, where="html", framing="length"),  # Over it: the load commits before <html>.
    dict(size=2000, where="html", framing="length"),
    dict(size=600, where="head", framing="length"),
    dict(size=600, where="html", framing="chunked"),
    dict(size=600, where="html", framing="close"),  # No length: ended by closing.
    dict(size=600, where="html", framing="length", site="cross"),
]


class StreamedResponseTest(StartScriptTestCase):
    maxDiff = None

    def streamed(self, q):
        """PAGE in two parts with a pause between, as server-side rendering flushes the top
        of a page early."""
        size, pause, where, framing = int(q["size"]), float(q["pause"]), q["where"], q["framing"]
        page = PAGE.replace("%PADDING%", "").replace("/p?via=link",
                                                     stream_path(**dict(q, via="link")))
        top = "<!doctype html><html><head><title>streamed</title><!--" if where == "head" \
            else "<!doctype html>"
        rest = page[page.index("<script>") if where == "head" else len("<!doctype html>"):]
        top += " " * (size - len(top) - 3) + ("-->" if where == "head" else "   ")
        top, rest = top.encode(), rest.replace("{{ORIGIN}}", self.server.origin).encode()
        if q.get("away"):  # Never ends: WebKit goes elsewhere (Refresh) while it waits.
            return [top, 30], framing, [("Refresh", "1; url=" + q["away"])], 1000
        if q.get("never"):  # The page's own script comes, the rest never does.
            return [top, pause, rest[:rest.index(b"</head>")], 30], framing, (), 1000
        return [float(q.get("delay", 0)), top, pause, rest], framing, (), 0

    def test_first_js_runs_once_in_every_document_however_its_bytes_arrive(self):
        self.server.streams["/stream"] = self.streamed
        other_site = "http://localhost:%d" % self.server.server_address[1]
        start = stream_path(size=100, where="html", framing="length", pause=0, via="start")
        steps, documents = [], [start]
        for row in STREAMED:
            path = stream_path(pause=1.5, via="go", **row)
            steps += ["go " + (other_site if "site" in row else "") + path, "reload", "link"]
            documents += [path, path, stream_path(pause=1.5, via="link", **row)]
        # A page that never comes and is left for the next, then one that never finishes.
        after = stream_path(size=100, where="html", framing="length", pause=0, via="after")
        never = stream_path(size=600, where="html", framing="length", pause=1.5, via="never",
                            never=1)
        steps += ["go " + stream_path(size=600, where="html", framing="length", pause=0,
                                      via="away", away=after.replace("&", "%26")),
                  "go " + never]
        documents += [after, never]
        self.server.dynamic = {"/next": lambda: steps.pop(0) if steps else "end"}
        self.start("--url=" + self.url(start), project=self.backend_project())
        heads = self.wait_report("head", count=len(documents), timeout=150)
        self.assertEqual(heads, [d + " true" for d in documents])
        self.assertEqual(self.server.values("load"), [d + " 1" for d in documents[:-1]])

    def test_an_opener_slow_to_its_document_and_its_pop_up_each_run_first_js_once(self):
        # The opener's next document waits 3 s for its <html> while its pop-up's comes: the
        # two share one set of start-up scripts in their web process and take turns.
        self.server.streams["/stream"] = self.streamed
        popup = stream_path(size=600, where="html", framing="length", pause=0, delay=0.8,
                            via="popup")
        opener = stream_path(size=600, where="html", framing="length", pause=3, via="opener")
        self.serve_pages(["open %s %s" % (popup, opener)])
        self.start("--url=" + self.url("/p?via=start"), project=self.backend_project())
        self.wait_report("done", count=2, timeout=30)
        documents = sorted(["/p?via=start", opener, popup])
        self.assertEqual(sorted(self.server.values("head")), [d + " true" for d in documents])
        self.assertEqual(sorted(self.server.values("load")), [d + " 1" for d in documents])


class SampleProjectTest(ShellTestCase):
    """The bundled sample, served as scripts/run.sh serves it."""

    def test_sample_page_shows_when_first_js_ran(self):
        root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
        sample = os.path.normpath(os.path.join(root, "examples", "sample-app"))
        with open(os.path.join(sample, "front", "index.html")) as f:
            html = f.read()
        # The page as it is, with a report of what it shows once it has loaded.
        self.server.add_page("/index.html", html.replace("</body>", """<script>
window.addEventListener('load', function () {
  setTimeout(function () {
    var x = new XMLHttpRequest();
    x.open('GET', '/report?k=started&v=' +
           encodeURIComponent(document.getElementById('started').textContent), false);
    x.send();
  }, 0);
});
</script></body>"""))
        project = os.path.join(self.tmp, "sample-app")
        subprocess.run(["cp", "-r", sample, project], check=True)
        with open(os.path.join(project, "app.qvex"), "w") as f:
            json.dump({"type": "backend", "fronturl": self.url("/index.html")}, f)
        self.start(project=project, variant=False)
        started = self.wait_report("started")[0]
        self.assertRegex(started, r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")


if __name__ == "__main__":
    unittest.main()
