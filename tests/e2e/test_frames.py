"""Sub-frames as the UI process knows them: the frame a query came from, scripts and loads
of one frame only, load hooks and error pages of sub-frames, and queries that end with their
frame."""

import re
import time
import unittest

from harness import ShellTestCase, closed_port, decode_data_url, wait_for

HEAD = "<script src='/report.js'></script>"

# A query whose answer (or failure) the frame reports under `key`.
ASK_JS = """
function ask(key, request) {
  cefQuery({request: request, persistent: false,
            onSuccess: function (r) { report(key, r); },
            onFailure: function (c, m) { report(key, 'failed ' + c); }});
}
"""


def page(body, title="Frames"):
    return "<html><head><title>%s</title>%s<script>%s</script></head><body>%s</body></html>" % (
        title, HEAD, ASK_JS, body)


class FramesTestCase(ShellTestCase):
    def run_pages(self, pages, start="/main", project=None, env=None):
        for path, html in pages.items():
            self.server.add_page(path, html)
        environ = {"QVEX_TEST_QUERY_COMMANDS": "1"}
        environ.update(env or {})
        return self.start("--url=" + self.url(start), project=project, env=environ)

    @staticmethod
    def fields(answer):
        return dict(re.findall(r"(\w+)=(\S*)", answer))


class FrameIdentityTest(FramesTestCase):
    def test_queries_reach_the_hook_with_the_frame_that_sent_them(self):
        self.run_pages({
            "/main": page("""<iframe name="child" src="/child"></iframe>
<iframe name="other" src="/other"></iframe>
<script>ask('main', 'variant:frame');</script>"""),
            "/child": page("<script>ask('child', 'variant:frame'); ask('child', 'variant:frame');</script>"),
            "/other": page("<script>ask('other', 'variant:frame');</script>"),
        })
        main = self.fields(self.wait_report("main")[0])
        child = [self.fields(a) for a in self.wait_report("child", count=2)]
        other = self.fields(self.wait_report("other")[0])
        self.assertEqual((main["main"], main["parent"], main["url"]), ("1", "none", self.url("/main")))
        self.assertEqual((child[0]["main"], child[0]["valid"], child[0]["name"], child[0]["url"]),
                         ("0", "1", "child", self.url("/child")))
        self.assertEqual(child[0]["parent"], main["id"])
        self.assertEqual(child[0]["id"], child[1]["id"])  # Stable for the frame's life.
        self.assertEqual((other["name"], other["parent"]), ("other", main["id"]))
        self.assertEqual(len({main["id"], child[0]["id"], other["id"]}), 3)

    def test_nested_frames_know_their_parent_and_the_browser_lists_them(self):
        self.run_pages({
            "/main": page("<iframe name='outer' src='/outer'></iframe>"),
            "/outer": page("""<iframe name='inner' src='/inner'></iframe>
<script>ask('outer', 'variant:frame');</script>"""),
            "/inner": page("""<script>ask('inner', 'variant:frame');
window.addEventListener('load', function () { setTimeout(function () {
  ask('frames', 'variant:frames'); }, 200); });</script>"""),
        })
        outer = self.fields(self.wait_report("outer")[0])
        inner = self.fields(self.wait_report("inner")[0])
        self.assertEqual(inner["parent"], outer["id"])
        self.assertEqual(self.wait_report("frames")[0], "count=3 names=[][outer][inner]")

    def test_a_removed_frame_is_no_longer_valid_nor_listed(self):
        self.run_pages({
            "/main": page("""<iframe id="f" name="child" src="/child"></iframe>
<script>
window.addEventListener('message', function () {
  setTimeout(function () {
    var f = document.getElementById('f'); f.parentNode.removeChild(f);
    setTimeout(function () { ask('after', 'variant:frames'); ask('kept', 'variant:answer-kept'); },
               300);
  }, 300);
});
</script>"""),
            "/child": page("""<script>
ask('child-kept', 'keep:child');
ask('before', 'variant:frames');
parent.postMessage('ready', '*');
</script>"""),
        })
        self.assertEqual(self.wait_report("before")[0], "count=2 names=[][child]")
        self.assertEqual(self.wait_report("after")[0], "count=1 names=[]")
        self.wait_report("kept")
        self.assertEqual(self.server.values("child-kept"), [])  # Its page is gone.


class FrameScriptsTest(FramesTestCase):
    def test_execute_javascript_on_a_sub_frame_runs_in_it_only(self):
        self.run_pages({
            "/main": page("""<iframe name="child" src="/child"></iframe>
<script>window.where = 'main';</script>"""),
            "/child": page("""<script>window.where = 'child';
ask('done', 'variant:exec:report(\\'ran\\', where + \\' \\' + location.pathname)');</script>"""),
        })
        self.wait_report("done")
        self.assertEqual(self.wait_report("ran"), ["child /child"])

    def test_load_url_on_a_sub_frame_navigates_only_it(self):
        shell = self.run_pages({
            "/main": page("""<iframe name="child" src="/child"></iframe>"""),
            "/child": page("<script>ask('done', 'variant:loadurl:' + location.origin + '/next');</script>"),
            "/next": page("<script>report('next', window.name + ' ' + (window.top !== window));</script>"),
        })
        self.assertEqual(self.wait_report("next"), ["child true"])
        self.assertEqual(shell.load_starts(), [self.url("/main")])

    def test_sub_frame_loads_are_reported_and_first_js_stays_in_the_main_frame(self):
        first_js = """(function () { var x = new XMLHttpRequest();
x.open('GET', '{{ORIGIN}}/report?k=first&v=' + location.pathname, false); x.send(); })();"""
        project = self.backend_project(first_js)
        shell = self.run_pages({
            "/main": page("""<iframe name="child" src="/child"></iframe>
<script>window.addEventListener('load', function () {
  setTimeout(function () { frames[0].location.href = '/child2'; }, 100); });</script>"""),
            "/child": page("child"),
            "/child2": page("<script>report('child2', 'loaded');</script>"),
        }, project=project)
        self.wait_report("child2")
        wait_for(lambda: any("child2" in h for h in shell.hooks("onLoadEnd")), what="load end")
        self.assertEqual(self.server.values("first"), ["/main"])
        hooks = [h for h in shell.hooks() if h.startswith(("onLoadStart", "onLoadEnd"))]
        child = [h for h in hooks if "/child" in h]
        self.assertEqual(child, ["onLoadStart main=0 url=" + self.url("/child"),
                                 "onLoadEnd status=200 url=" + self.url("/child"),
                                 "onLoadStart main=0 url=" + self.url("/child2"),
                                 "onLoadEnd status=200 url=" + self.url("/child2")])

    def test_the_page_ends_after_every_load_end_as_in_cef(self):
        bad = "http://127.0.0.1:%d/missing" % closed_port()
        # (the main page's body, its frames' load ends (error pages included), whether the main
        # frame's load end is the last one: an error page put into a frame may load after it)
        cases = [
            ('<iframe src="/child"></iframe><iframe src="/child?2"></iframe>', 2, True),
            ('<iframe src="/child"></iframe><iframe src="%s"></iframe>' % bad, 2, False),
            ("<p>no frames</p>", 0, True),
        ]
        for body, frame_ends, main_last in cases:
            with self.subTest(body=body):
                shell = self.run_pages({"/main": page(body), "/child": page("child")})
                self.wait_hook(shell, "onPageEnd")
                time.sleep(1)  # Anything out of order would come now.
                hooks = [h.split(" url=")[0] + (" main" if h.endswith("/main") else "")
                         for h in shell.hooks() if h.startswith(("onPage", "onLoad"))]
                self.assertEqual(hooks[0], "onPageInit back=0 forward=0")
                self.assertEqual(hooks[-1], "onPageEnd back=0 forward=0")
                self.assertIn("onLoadEnd status=200 main", hooks)
                if main_last:
                    self.assertEqual(hooks[-2], "onLoadEnd status=200 main")
                self.assertEqual(len([h for h in hooks if h.startswith("onLoadEnd")]),
                                 frame_ends + 1)
                self.assertEqual([h for h in hooks if h.startswith("onPage")],
                                 ["onPageInit back=0 forward=0", "onPageEnd back=0 forward=0"])
                shell.kill()


class FrameErrorsTest(FramesTestCase):
    def test_a_frame_that_cannot_load_shows_the_error_page_inside_it(self):
        bad = "http://127.0.0.1:%d/missing" % closed_port()
        shell = self.run_pages({
            "/main": page("""<p>main page</p><iframe name="bad" src="%s"></iframe>
<iframe name="good" src="/child"></iframe>""" % bad),
            "/child": page("""<script>window.addEventListener('load', function () {
  setTimeout(function () { location.href = '%s/again'; }, 100); });</script>""" % bad),
        })

        pages = wait_for(lambda: (lambda p: p if len(p) == 2 else None)(
            [u for u in shell.load_starts(main=False) if u.startswith("data:")]),
            what="two error pages")
        texts = sorted(decode_data_url(p) for p in pages)
        self.assertIn("Failed to load URL %s with error ERR_CONNECTION_REFUSED (-102)." % bad,
                      texts[0])
        self.assertIn("Failed to load URL %s/again with error" % bad, texts[1])
        # The main page stayed.
        self.assertEqual(shell.load_starts(), [self.url("/main")])
        self.assertEqual(self.window_name(self.wait_windows(shell, 1)[0]), "Frames")


class FrameQueriesTest(FramesTestCase):
    def test_a_frame_that_navigates_cancels_only_its_own_queries(self):
        shell = self.run_pages({
            "/main": page("""<iframe name="a" src="/a"></iframe><iframe name="b" src="/b"></iframe>
<script>
ask('main-kept', 'keep:main');
var ready = 0;
window.frameReady = function () {
  if (++ready < 2) return;
  frames[0].location.href = '/a2';  // a goes; b and the main page stay.
};
window.a2Ready = function () { ask('answered', 'variant:answer-kept'); };
</script>"""),
            "/a": page("<script>ask('a-kept', 'keep:a'); parent.frameReady();</script>"),
            "/b": page("<script>ask('b-kept', 'keep:b'); parent.frameReady();</script>"),
            "/a2": page("<script>parent.a2Ready();</script>"),
        })
        self.wait_report("answered")
        self.assertEqual(self.wait_report("main-kept"), ["keep:main valid=1"])
        self.assertEqual(self.wait_report("b-kept"), ["keep:b valid=1"])
        self.assertEqual(self.server.values("a-kept"), [])
        # Each answer went to the frame that asked, and a's query reached the hook as a's.
        queries = [h for h in shell.hooks("OnQuery") if "keep:" in h]
        self.assertEqual(len(queries), 3)


if __name__ == "__main__":
    unittest.main()
