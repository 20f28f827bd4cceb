"""Closing asks the page first: a page that wants to stay gets a question a person answers, and
dialogs that are open when the close comes are cancelled instead of swallowing it."""

import time
import unittest

from harness import SANITIZED, ShellTestCase, sanitizer_environment, wait_for

QUESTION = "Leave this page?"

# A field to type into (WebKit asks only once the person has interacted with the page), a
# beforeunload handler that reports what the field holds and asks to stay.
ASKING_PAGE = """<html><head><title>Asking</title><script src="/report.js"></script></head>
<body style="margin:0"><input id="field" style="width:400px;height:60px"
oninput="report('typed', this.value)"><script>
var qvex_nt_api = { unload: function () { report('unload', 1); } };
window.addEventListener('beforeunload', function (e) {
  // A request made while the page goes: a beacon (a synchronous one is refused).
  navigator.sendBeacon('/report?k=beforeunload&v=' +
                       encodeURIComponent(document.getElementById('field').value));
  e.preventDefault(); e.returnValue = 'unsaved';
});
report('loaded', 1);
</script></body></html>"""

# Buttons that open a dialog of the page; each reports when the page's script goes on.
DIALOG_PAGE = """<html><head><title>Dialogs</title><script src="/report.js"></script></head>
<body style="margin:0">
<button id="b" style="display:block;width:400px;height:100px">open</button>
<input id="file" type="file" style="display:block;width:400px;height:100px">
<script>
var qvex_nt_api = { unload: function () { report('unload', 1); } };
document.getElementById('b').onclick = function () {
  report('opening', 1); %s; report('went-on', 1);
};
report('loaded', 1);
</script></body></html>"""


class LeavePageTestCase(ShellTestCase):
    def click(self, window, x, y):
        self.x("xdotool", "mousemove", "--window", str(window), str(x), str(y), "click", "1")

    def keys(self, window, *keys):
        # Real key presses (XTEST) into a window given the focus, as a person types.
        self.x("xdotool", "windowfocus", "--sync", str(window))
        self.x("xdotool", "key", "--delay", "50", *keys)

    def question(self):
        out = self.x("xdotool", "search", "--onlyvisible", "--name", QUESTION, check=False)
        return [int(w) for w in out.split()]

    def assert_still_open(self, shell, seconds):
        time.sleep(seconds)
        self.assertIsNone(shell.proc.poll(), "the shell ended")
        self.assertEqual(self.server.values("unload"), [])
        self.assertEqual(shell.hooks("onBeforeBrowserClose"), [])


class AskTest(LeavePageTestCase):
    def test_stay_keeps_everything_then_leave_closes(self):
        self.server.add_page("/ask.html", ASKING_PAGE)
        shell = self.start("--url=" + self.url("/ask.html"))
        self.wait_report("loaded")
        (window,) = self.wait_windows(shell, 1)
        self.click(window, 100, 30)
        self.keys(window, "h", "i")
        wait_for(lambda: "hi" in self.server.values("typed"), what="the typed text")

        self.close_window(window)
        (question,) = wait_for(self.question, what="the question")
        self.wait_report("beforeunload")
        self.assertEqual(self.server.values("beforeunload"), ["hi"])
        # The window waits for the person: past the watchdog, and through another close.
        self.close_window(window)
        self.assert_still_open(shell, 2.5)
        self.assertEqual(len(self.question()), 1)

        self.keys(question, "Escape")  # Stay.
        wait_for(lambda: not self.question(), what="the question gone")
        self.assert_still_open(shell, 1.0)
        self.assertEqual(self.windows(shell), [window])

        # The page is as it was (the field still holds the text); this time: leave.
        self.close_window(window)
        (question,) = wait_for(self.question, what="the question again")
        self.wait_report("beforeunload", count=2)
        self.assertEqual(self.server.values("beforeunload"), ["hi", "hi"])
        self.keys(question, "Return")
        self.assertEqual(shell.wait(), 0)
        self.assertEqual(self.server.values("unload"), ["1"])
        self.assertEqual(shell.hooks("onBeforeBrowserClose"), ["onBeforeBrowserClose"])

    def test_pages_that_cannot_ask_close_without_a_question(self):
        hung = ASKING_PAGE.replace("e.preventDefault();", "while (true) {}")
        cases = [
            # (what, page, whether its unload can run)
            ("asking page nobody has used", ASKING_PAGE, True),
            ("no handler", DIALOG_PAGE % "0", True),
            # Its handler never returns (nor can the unload): the watchdogs close it.
            ("handler in a busy loop", hung, False),
        ]
        for what, page, unloads in cases:
            with self.subTest(what):
                self.server.reports.clear()
                self.server.add_page("/page.html", page)
                shell = self.start("--url=" + self.url("/page.html"))
                self.wait_report("loaded")
                (window,) = self.wait_windows(shell, 1)
                if not unloads:
                    self.click(window, 100, 30)
                self.close_window(window)
                self.assertEqual(shell.wait(), 0)
                self.assertEqual(self.question(), [])
                self.assertEqual(self.server.values("unload"), ["1"] if unloads else [])


class DialogAtCloseTest(LeavePageTestCase):
    def test_open_dialog_is_cancelled_and_the_close_goes_on(self):
        cases = [
            # (what, the button's code, where to click, whether GTK opens a window of its own)
            ("alert", "alert('hello')", (100, 50), False),
            ("print dialog", "window.print()", (100, 50), True),
            ("file chooser", "0", (100, 150), True),
        ]
        for what, code, (x, y), own_window in cases:
            with self.subTest(what):
                self.server.reports.clear()
                self.server.add_page("/dialog.html", DIALOG_PAGE % code)
                env = None
                if own_window and SANITIZED:
                    # GTK's print dialog and file chooser load modules that register enough
                    # types for GLib to drop its first quark table, and keep a few slices: held
                    # by GTK alone, seen as leaks with nothing to name them by. Memory errors
                    # are still caught.
                    env = {"ASAN_OPTIONS": sanitizer_environment()["ASAN_OPTIONS"] +
                           ":detect_leaks=0"}
                shell = self.start("--url=" + self.url("/dialog.html"), env=env)
                self.wait_report("loaded")
                (window,) = self.wait_windows(shell, 1)
                self.click(window, x, y)
                if own_window:
                    self.wait_windows(shell, 2)
                else:
                    self.wait_report("opening")
                    time.sleep(0.5)
                self.assertEqual(self.server.values("went-on"), [])
                self.close_window(window)
                self.assertEqual(shell.wait(), 0)
                self.assertEqual(self.server.values("unload"), ["1"])


if __name__ == "__main__":
    unittest.main()
