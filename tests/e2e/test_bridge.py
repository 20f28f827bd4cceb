"""The page-script bridge: natives of "v8/app", projectPath, first.js, and cefQuery."""

import json
import os
import signal
import subprocess
import time
import unittest

from harness import ShellTestCase, wait_for
from test_robustness import children, command

QVEXEXT_JS = """
var app = {};
(function () {
  native function registerCallBack(onResult, onError, onRegistered);
  native function clipboardWriteText(text, onDone);
  native function paste(onDone);
  native function sendKey();
  native function triggerApp(a, b);
  native function triggerEvent(name, a, b, c);
  native function unload();
  native function SendKey();  // Declared, but not a name the shell answers.
  app.registerCallBack = registerCallBack;
  app.clipboardWriteText = clipboardWriteText;
  app.paste = paste;
  app.sendKey = sendKey;
  app.triggerApp = triggerApp;
  app.triggerEvent = triggerEvent;
  app.unload = unload;
  app.SendKey = SendKey;
})();
"""

# Runs before the page's own scripts may have loaded report.js: it reports by itself.
FIRST_JS = """(function (v) {
  var x = new XMLHttpRequest();
  x.open('GET', '{{ORIGIN}}/report?k=first&v=' + encodeURIComponent(v), false); x.send();
})(location.pathname + ' ' + (window === window.top));"""
EDITED_FIRST_JS = FIRST_JS.replace("location.pathname + ' ' + (window === window.top)", "'edited'")

HEAD = "<script src='/report.js'></script>"


def page(body):
    return "<html><head><title>Bridge</title>%s</head><body><script>%s</script></body></html>" % (
        HEAD, body)


class BridgeTestCase(ShellTestCase):
    def backend(self, type_="backend", first_js=FIRST_JS, qvexext=QVEXEXT_JS):
        files = {"temp/js/qvexext.js": qvexext}
        if first_js is not None:
            files["temp/js/first.js"] = first_js.replace("{{ORIGIN}}", self.server.origin)
        return self.make_project(json.dumps({"type": type_}), files)

    def run_page(self, body, project=None, **kwargs):
        self.server.add_page("/page.html", page(body))
        return self.start("--url=" + self.url("/page.html"),
                          project=project if project is not None else self.backend(), **kwargs)


class RegistrationTest(BridgeTestCase):
    def test_numbers_count_up_per_web_process(self):
        shell = self.run_page("""
var r = app.registerCallBack(function () {}, function () {}, function (n) {
  report('reg', n + ' ' + arguments.length + ' ' + typeof n + ' ' + (this === window));
});
report('returned', String(r));
app.registerCallBack(function () {}, function () {}, function (n) { report('reg', n); });
""")
        self.assertEqual(self.wait_report("reg", count=2),
                         ["11 1 string true", "12"])
        self.assertEqual(self.server.values("returned"), ["undefined"])

    def test_reply_runs_after_the_call_returns(self):
        self.run_page("""
var ran = false;
app.registerCallBack(function () {}, function () {}, function (n) { ran = true; report('reg', n); });
report('sync', ran);
""")
        self.wait_report("reg")
        self.assertEqual(self.server.values("sync"), ["false"])

    def test_count_goes_on_after_navigation_and_restarts_in_a_new_web_process(self):
        self.server.add_page("/next.html", page(
            "app.registerCallBack(function(){}, function(){}, function (n) { report('reg', n); });"))
        shell = self.run_page("""
app.registerCallBack(function () {}, function () {}, function (n) {
  report('reg', n);
  if (!sessionStorage.getItem('went')) { sessionStorage.setItem('went', 1); location.href = '/next.html'; }
});""")
        self.assertEqual(self.wait_report("reg", count=2), ["11", "12"])
        for pid in [p for p in children(shell.proc.pid) if "WebKitWebProcess" in command(p)]:
            os.kill(pid, signal.SIGKILL)
        # The reloaded page lives in a new web process: numbering starts again.
        self.assertEqual(self.wait_report("reg", count=3)[2], "11")

    def test_deliveries_keep_order_and_reach_the_function_they_were_posted_for(self):
        self.run_page("""
app.registerCallBack(function () {}, function () {}, function (n) { report('d', 'first ' + n); });
app.registerCallBack(function () {}, function () {}, function (n) { report('d', 'second ' + n); });
for (var i = 0; i < 5; i++) {
  (function (i) {
    app.clipboardWriteText('t' + i, function (t) { report('d', 'copy' + i + '[' + t + ']'); });
  })(i);
}
report('d', 'returned');
""")
        self.assertEqual(self.wait_report("d", count=8),
                         ["returned", "first 11", "second 12", "copy0[]", "copy1[]", "copy2[]",
                          "copy3[]", "copy4[]"])

    def test_bad_registrations_are_ignored(self):
        self.run_page("""
function bad(what, f) {
  try { report('bad', what + ':' + String(f())); } catch (e) { report('bad', what + ':threw ' + e); }
}
bad('none', function () { return app.registerCallBack(); });
bad('two', function () { return app.registerCallBack(function(){}, function(){}); });
bad('numbers', function () { return app.registerCallBack(1, 2, 3); });
bad('strings', function () { return app.registerCallBack(function(){}, 'x', function(){ report('reg', 'wrong'); }); });
app.registerCallBack(function(){}, function(){}, function (n) { report('reg', n); });
""")
        # Nothing was kept or numbered for the bad calls: the good one is the first.
        self.assertEqual(self.wait_report("reg"), ["11"])
        self.assertEqual(self.server.values("bad"),
                         ["none:undefined", "two:undefined", "numbers:undefined",
                          "strings:undefined"])


class NativeCallTest(BridgeTestCase):
    def test_accepted_names_never_throw_and_return_undefined(self):
        self.run_page("""
var calls = [
  function () { return app.sendKey(); },
  function () { return app.sendKey('a', 1, {}); },
  function () { return app.triggerApp(1); },
  function () { return app.triggerApp(1, 2); },
  function () { return app.triggerApp(1, 2, 3); },
  function () { return app.triggerEvent('e', 1, 2); },
  function () { return app.triggerEvent(1, 2, 3, 4); },
  function () { return app.triggerEvent('e', 1, 2, 3); },
  function () { return app.unload(); },
  function () { return app.SendKey(); },
  function () { return app.clipboardWriteText(); },
  function () { return app.clipboardWriteText({}, null); },
  function () { return app.paste(); },
  function () { return app.paste('not a function'); },
];
var results = calls.map(function (f) {
  try { return String(f()); } catch (e) { return 'threw ' + e; }
});
report('results', results.join(','));
""")
        self.assertEqual(self.wait_report("results"), [",".join(["undefined"] * 14)])

    def test_clipboard_write_puts_text_on_the_x_clipboard(self):
        text = "qvex clipboard ✓ <&>"
        self.run_page("app.clipboardWriteText(%s, function (r) { report('copied', '[' + r + ']' + arguments.length); });"
                      % json.dumps(text))
        self.assertEqual(self.wait_report("copied"), ["[]1"])
        out = wait_for(lambda: self.x("xclip", "-o", "-selection", "clipboard", check=False),
                       what="clipboard content")
        self.assertEqual(out, text)

    def test_natives_reach_the_clipboard_without_the_page(self):
        # The page watches for any sign of the natives at work: copy events and calls of its
        # (wrapped) execCommand; before pasting it replaces execCommand altogether.
        big = "\u00e9" + "z" * (1024 * 1024) + "\u00e9"  # long: goes in a memory file
        cases = [  # (what has the focus, text)
            ("an input with the caret", "typed ✓"),
            ("a textarea with a selection", "selected <&>"),
            ("a contenteditable element", big),
        ]
        for k, (_, text) in enumerate(cases):
            self.server.add_page("/text%d" % k, text, "text/plain; charset=utf-8")
        self.run_page("""
document.body.innerHTML = '<input id=i value=abc><textarea id=t>words</textarea>' +
                          '<div id=d contenteditable>edit</div><textarea id=p></textarea>';
var seen = [];
['beforecopy', 'copy', 'cut'].forEach(function (type) {
  window.addEventListener(type, function () { seen.push(type); }, true);
});
var original = document.execCommand;
document.execCommand = function (name) { seen.push('execCommand ' + name);
                                         return original.apply(document, arguments); };
var focusers = [function () { var i = document.getElementById('i'); i.focus();
                              i.setSelectionRange(1, 1); },
                function () { var t = document.getElementById('t'); t.focus(); t.select(); },
                function () { document.getElementById('d').focus(); }];
function get(path) {
  var x = new XMLHttpRequest(); x.open('GET', path, false); x.send();
  return x.status === 200 ? x.responseText : null;
}
function pasteNow() {
  document.execCommand = function () { seen.push('replaced'); return false; };
  var p = document.getElementById('p'); p.focus();
  app.paste(function (r) { report('pasted', '[' + r + '] ' + p.value.length + ' ' +
                                            seen.join(',')); });
}
// Step k copies text k, then waits until the test has read the clipboard (/go<k>).
function step(k) {
  if (k === focusers.length) { pasteNow(); return; }
  focusers[k]();
  app.clipboardWriteText(get('/text' + k), function (r) {
    report('copied', k + '[' + r + ']');
    var wait = setInterval(function () {
      if (get('/go' + k) !== null) { clearInterval(wait); step(k + 1); }
    }, 100);
  });
}
step(0);
""")
        for k, (focus, text) in enumerate(cases):
            with self.subTest(focus=focus):
                self.assertEqual(self.wait_report("copied", count=k + 1)[k], "%d[]" % k)
                wait_for(lambda: self.x("xclip", "-o", "-selection", "clipboard",
                                        check=False) == text,
                         what="the clipboard holding the text")
            self.server.add_page("/go%d" % k, "go")
        # The long text landed in the field; the page saw no event and no call of its own.
        self.assertEqual(self.wait_report("pasted"), ["[] %d " % len(big)])

    def test_paste_lands_in_the_focused_field(self):
        env = dict(os.environ, DISPLAY=self.display)
        clip = subprocess.Popen(["xclip", "-i", "-selection", "clipboard", "-loops", "5"],
                                stdin=subprocess.PIPE, env=env)
        clip.stdin.write("pasted text".encode())
        clip.stdin.close()
        self.run_page("""
document.body.innerHTML = '<input id=f>';
var f = document.getElementById('f');
f.focus();
app.paste(function (r) { report('pasted', '[' + r + '] ' + f.value); });
""")
        self.assertEqual(self.wait_report("pasted"), ["[] pasted text"])
        clip.kill()


class ProjectTypeTest(BridgeTestCase):
    FRAME_PAGE = """
report('main', typeof app.registerCallBack + ' ' + projectPath);
document.body.innerHTML = '<iframe src="/frame.html"></iframe>';
"""

    def check(self, project, natives):
        self.server.add_page("/frame.html", page("report('frame', projectPath);"))
        self.run_page("var app = window.app || {};" + self.FRAME_PAGE, project=project)
        self.assertEqual(self.wait_report("main"),
                         [("function " if natives else "undefined ") + project])
        self.assertEqual(self.wait_report("frame"), [project])

    def test_backend_project_has_natives_and_projectPath_everywhere(self):
        self.check(self.backend(), True)

    def test_other_project_types_have_no_natives_but_projectPath(self):
        for type_ in ("Backend", "frontend"):
            with self.subTest(type_):
                self.server.reports.clear()
                self.check(self.backend(type_=type_), False)
                for shell in self.shells:
                    shell.kill()

    def test_no_project_file(self):
        self.check(self.make_project(None), False)


class FirstJsTest(BridgeTestCase):
    def test_runs_once_per_main_frame_load_not_for_iframes_and_is_read_again(self):
        project = self.backend()
        self.server.add_page("/frame.html", page("report('frame', 1);"))
        self.run_page("""
document.body.innerHTML = '<iframe src="/frame.html"></iframe>';
if (!sessionStorage.getItem('reloaded')) {
  sessionStorage.setItem('reloaded', 1);
  setTimeout(function () { location.reload(); }, 2000);
} else {
  report('after-reload', 1);
}""", project=project)
        self.assertEqual(self.wait_report("first"), ["/page.html true"])
        with open(os.path.join(project, "temp/js/first.js"), "w") as f:
            f.write(EDITED_FIRST_JS.replace("{{ORIGIN}}", self.server.origin))
        self.wait_report("after-reload")
        self.wait_report("frame", count=2)
        self.assertEqual(wait_for(lambda: (lambda v: v if len(v) == 2 else None)(
            self.server.values("first")), what="second first.js"),
            ["/page.html true", "edited"])

    def test_missing_first_js_leaves_the_page_working(self):
        shell = self.run_page("report('loaded', 1);", project=self.backend(first_js=None))
        self.wait_report("loaded")
        self.wait_hook(shell, "onLoadEnd status=200")


class QueryTest(BridgeTestCase):
    QUERY = """
var id = cefQuery({request: 'ping ✓', persistent: %s,
  onSuccess: function (r) { report('success', r); },
  onFailure: function (c, m) { report('failure', c + ' ' + m); }});
report('id', typeof id);
setTimeout(function () { report('waited', 1); }, 1500);
"""

    def test_query_reaches_on_query_and_default_hook_never_answers(self):
        for persistent in ("false", "true"):
            with self.subTest(persistent=persistent):
                self.server.reports.clear()
                shell = self.run_page(self.QUERY % persistent)
                hook = self.wait_hook(shell, "OnQuery")[0]
                self.assertRegex(hook, r"^OnQuery id=\d+ persistent=%s request=ping ✓$"
                                 % ("1" if persistent == "true" else "0"))
                self.wait_report("waited")
                self.assertEqual(self.server.values("id"), ["number"])
                self.assertEqual(self.server.values("success"), [])
                self.assertEqual(self.server.values("failure"), [])
                shell.kill()

    def test_query_no_handler_takes_fails_with_minus_one(self):
        self.run_page(self.QUERY % "false", env={"QVEX_TEST_REFUSE_QUERIES": "1"})
        self.assertEqual(self.wait_report("failure"), ["-1 The query has been canceled"])

    def test_answered_query_reaches_on_success(self):
        self.run_page(self.QUERY % "false", env={"QVEX_TEST_ANSWER_QUERIES": "1"})
        self.assertEqual(self.wait_report("success"), ["answer:ping ✓"])

    def test_query_without_a_string_request_throws_in_the_page(self):
        self.run_page("""
[undefined, 5, {request: 5}, {request: 'x', onSuccess: 3}].forEach(function (q) {
  try { cefQuery(q); report('q', 'no throw'); } catch (e) { report('q', 'threw'); }
});""")
        self.assertEqual(self.wait_report("q", count=4), ["threw"] * 4)


if __name__ == "__main__":
    unittest.main()
