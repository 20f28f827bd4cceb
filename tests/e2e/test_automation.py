"""The shell driven by a W3C WebDriver client: Selenium through WebKitGTK's WebKitWebDriver,
against the real shell in Xvfb. Runs under Debian's python3 (python3-selenium)."""

import os
import signal
import socket
import subprocess
import tempfile
import time
import unittest

from harness import (SANITIZER_REPORTS, SHELL, VARIANT, ShellTestCase, closed_port,
                     decode_data_url, sanitizer_environment, wait_for)
from test_robustness import children, command

from selenium import webdriver
from selenium.common.exceptions import WebDriverException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait
from selenium.webdriver.webkitgtk.options import Options

DRIVER = "/usr/bin/WebKitWebDriver"

QVEXEXT_JS = """
var qvex_native = {};
(function () {
  native function registerCallBack(onResult, onError, onRegistered);
  native function clipboardWriteText(text, onDone);
  native function paste(onDone);
  qvex_native.registerCallBack = registerCallBack;
  qvex_native.clipboardWriteText = clipboardWriteText;
  qvex_native.paste = paste;
})();
"""

FIRST_JS = """
window.qvex_nt_api = {
  firstRuns: (window.qvex_nt_api ? window.qvex_nt_api.firstRuns : 0) + 1,
  unload: function () {
    var x = new XMLHttpRequest();
    x.open('GET', '{{ORIGIN}}/report?k=unload&v=' + encodeURIComponent(location.pathname), false);
    x.send();
  }
};
"""

APP_PAGE = """<!doctype html><html><head><title>Driven</title>
<script>var sawFirstJs = typeof qvex_nt_api === 'object';</script></head>
<body style="margin:0; background:#1f7a6c">
<input id="field" value="to copy">
<button id="copy" onclick="qvex_native.clipboardWriteText(document.getElementById('field').value,
    function () { document.title = 'copied'; })">copy</button>
<button id="paste" onclick="var f = document.getElementById('field'); f.value = ''; f.focus();
    qvex_native.paste(function () { document.title = 'pasted'; })">paste</button>
<a id="pop" href="/app?popup" target="_blank">pop-up</a>
</body></html>"""



class AutomationTestCase(ShellTestCase):
    """A project whose front end is served here, and a WebDriver session on the shell."""

    def setUp(self):
        super().setUp()
        self.server.add_page("/app", APP_PAGE)
        self.project = self.backend_project(FIRST_JS, QVEXEXT_JS, fronturl=self.url("/app"))
        self.drivers = []
        self.services = []
        self.stderr_logs = []

    def tearDown(self):
        for driver in self.drivers:
            try:
                driver.quit()
            except Exception:
                pass
        for service in self.services:
            service.terminate()
            try:
                service.wait(10)
            except subprocess.TimeoutExpired:
                service.kill()
        super().tearDown()
        reports = []
        for path in self.stderr_logs:
            if not os.path.exists(path):
                continue
            with open(path, errors="replace") as f:
                text = f.read()
            if any(marker in text for marker in SANITIZER_REPORTS):
                reports.append(text[-6000:])
        if reports:
            self.fail("sanitizer report from a driven shell:\n" + "\n".join(reports))

    def wrapper(self, program, env):
        """The program the driver starts: the shell, with what this run needs in its
        environment, its standard error kept and its pid written down."""
        path = tempfile.mktemp(dir=self.tmp, prefix="shell-", suffix=".sh")
        stderr_log = path + ".stderr"
        self.stderr_logs.append(stderr_log)
        lines = ["#!/bin/sh"] + ["export %s='%s'" % (k, v) for k, v in env.items()]
        lines += ["echo $$ > '%s.pid'" % path, "exec '%s' \"$@\" 2>>'%s'" % (program, stderr_log)]
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        os.chmod(path, 0o755)
        return path

    def session(self, program=SHELL, args=("--automation",), env=None, project=True):
        """A session as a user's test would make it, with the capabilities the README gives."""
        shell_env = dict(sanitizer_environment())
        # Viewport screenshots never finish without accelerated compositing; a sanitizer run
        # keeps the GL driver it needs loaded to the end (harness.GL_DRIVER).
        shell_env.pop("WEBKIT_DISABLE_COMPOSITING_MODE", None)
        shell_env.update(env or {})
        options = Options()
        options.binary_location = self.wrapper(program, shell_env)
        for arg in args:
            options.add_argument(arg)
        options.set_capability("browserName", "qvexdesk")
        # The driver passes its environment on to the program it starts.
        driver_env = dict(os.environ, DISPLAY=self.display)
        if project:
            driver_env["QVEX_PROJPATH"] = self.project
        port = closed_port()
        log = open(os.path.join(self.tmp, "driver.log"), "ab")
        self.services.append(subprocess.Popen([DRIVER, "--port=%d" % port], env=driver_env,
                                              stdout=log, stderr=log))
        log.close()
        wait_for(lambda: self.listening(port), what="WebKitWebDriver to listen")
        started = time.monotonic()
        driver = webdriver.Remote(command_executor="http://127.0.0.1:%d" % port, options=options)
        self.session_seconds = time.monotonic() - started
        self.drivers.append(driver)
        self.binary = options.binary_location
        return driver

    @staticmethod
    def listening(port):
        try:
            socket.create_connection(("127.0.0.1", port), 0.2).close()
            return True
        except OSError:
            return False

    def shell_pid(self):
        with open(self.binary + ".pid") as f:
            return int(f.read())

    def clipboard(self):
        return self.x("xclip", "-o", "-selection", "clipboard", check=False)


class BridgeUnderAutomationTest(AutomationTestCase):
    def test_the_start_window_has_the_bridge_first_js_and_the_project(self):
        driver = self.session()
        self.assertEqual(driver.capabilities.get("browserName"), "qvexdesk")
        self.assertEqual(driver.current_url, self.url("/app"))
        seen = driver.execute_script(
            "return [projectPath, typeof qvex_native.registerCallBack, sawFirstJs,"
            " qvex_nt_api.firstRuns, document.title];")
        self.assertEqual(seen, [self.project, "function", True, 1, "Driven"])
        number = driver.execute_async_script(
            "var done = arguments[arguments.length - 1];"
            "qvex_native.registerCallBack(function () {}, function () {}, done);")
        self.assertEqual(number, "11")

    def test_clipboard_and_paste_from_clicks(self):
        driver = self.session()
        field = driver.find_element(By.ID, "field")
        field.clear()
        field.send_keys("typed by the driver")
        driver.find_element(By.ID, "copy").click()
        WebDriverWait(driver, 10).until(lambda d: d.title == "copied")
        self.assertEqual(wait_for(lambda: self.clipboard() == "typed by the driver" and "ok",
                                  what="the X clipboard"), "ok")
        # The X clipboard, set from outside, pasted into the focused field.
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"from outside",
                       env=dict(os.environ, DISPLAY=self.display), check=True, timeout=10)
        driver.find_element(By.ID, "paste").click()
        WebDriverWait(driver, 10).until(lambda d: d.title == "pasted")
        self.assertEqual(field.get_attribute("value"), "from outside")

    def test_queries_reach_an_answering_variant(self):
        driver = self.session(program=VARIANT, env={"QVEX_TEST_ANSWER_QUERIES": "1"})
        answer = driver.execute_async_script(
            "var done = arguments[arguments.length - 1];"
            "cefQuery({request: 'ping', onSuccess: done,"
            "          onFailure: function (c, m) { done('failed ' + c); }});")
        self.assertEqual(answer, "answer:ping")


class WindowsUnderAutomationTest(AutomationTestCase):
    def test_dialogs(self):
        driver = self.session()
        driver.execute_script("setTimeout(function () {"
                              " document.title = 'alert ' + alert('hello'); }, 0);")
        WebDriverWait(driver, 10).until(lambda d: d.switch_to.alert)
        self.assertEqual(driver.switch_to.alert.text, "hello")
        driver.switch_to.alert.accept()
        driver.execute_script("setTimeout(function () {"
                              " document.title = 'confirm ' + confirm('sure?'); }, 0);")
        WebDriverWait(driver, 10).until(lambda d: d.switch_to.alert)
        driver.switch_to.alert.dismiss()
        WebDriverWait(driver, 10).until(lambda d: d.title == "confirm false")

    def test_pop_up_is_a_window_of_the_session(self):
        driver = self.session()
        main = driver.current_window_handle
        driver.find_element(By.ID, "pop").click()
        WebDriverWait(driver, 10).until(lambda d: len(d.window_handles) == 2)
        popup = [h for h in driver.window_handles if h != main][0]
        driver.switch_to.window(popup)
        WebDriverWait(driver, 10).until(lambda d: d.current_url.endswith("/app?popup"))
        self.assertEqual(driver.execute_script("return [sawFirstJs, projectPath]"),
                         [True, self.project])
        driver.close()
        self.assertEqual(self.wait_report("unload"), ["/app"])
        driver.switch_to.window(main)
        self.assertEqual(driver.window_handles, [main])

    def test_a_window_closed_by_the_driver_runs_the_page_unload(self):
        driver = self.session()
        main = driver.current_window_handle
        driver.switch_to.new_window("window")
        self.assertEqual(len(driver.window_handles), 2)
        driver.get(self.url("/app?second"))
        self.assertEqual(driver.execute_script("return [sawFirstJs, qvex_nt_api.firstRuns]"),
                         [True, 1])
        driver.close()
        self.assertEqual(self.wait_report("unload"), ["/app"])
        driver.switch_to.window(main)
        self.assertEqual(driver.title, "Driven")

    def test_error_page_and_screenshot(self):
        driver = self.session()
        shot = os.path.join(self.tmp, "shot.png")
        # The first picture after a load can be an old frame: wait for the page's colour.
        colours = ""
        for _ in range(20):
            with open(shot, "wb") as f:
                f.write(driver.get_screenshot_as_png())
            colours = self.x("convert", shot, "-format", "%c", "histogram:info:")
            if "#1F7A6C" in colours.upper():
                break
            time.sleep(0.25)
        self.assertIn("#1F7A6C", colours.upper())
        bad = "http://127.0.0.1:%d/gone" % closed_port()
        try:
            driver.get(bad)
        except WebDriverException:
            pass  # The driver may report the failed load; the page is what counts.
        WebDriverWait(driver, 10).until(lambda d: d.current_url.startswith("data:text/html"))
        self.assertIn("Failed to load URL %s with error ERR_CONNECTION_REFUSED" % bad,
                      decode_data_url(driver.current_url))


class SessionLifeTest(AutomationTestCase):
    def test_quit_leaves_no_process_behind(self):
        driver = self.session()
        pid = self.shell_pid()
        engine = wait_for(lambda: [p for p in children(pid)
                                   if "WebKit" in command(p)] or None,
                          what="the engine's processes")
        self.assertTrue(any("WebKitWebProcess" in command(p) for p in engine), engine)
        driver.quit()
        self.drivers.remove(driver)

        def gone():
            return not any(os.path.exists("/proc/%d" % p) and
                           not open("/proc/%d/stat" % p).read().split(") ")[1].startswith("Z")
                           for p in [pid] + engine)
        self.assertTrue(wait_for(gone, timeout=15, what="the shell and its engine to end"))
        self.assertLess(self.session_seconds, 10)

    def test_started_by_a_driver_without_the_switch_says_so(self):
        shell = self.start("--url=" + self.url("/app"), variant=False,
                           env={"WEBKIT_INSPECTOR_SERVER": "127.0.0.1:%d" % closed_port()})
        wait_for(lambda: any("without --automation" in l for l in shell.stderr_lines),
                 what="the message on standard error")
        shell.kill()


if __name__ == "__main__":
    unittest.main()
