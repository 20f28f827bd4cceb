"""`qvexdesk --check`: one broken project per finding, in text and JSON; the sample project
clean; no display needed for the project's part; and --safe-rendering in a real run."""

import json
import os
import shutil
import socket
import subprocess
import time
import unittest

from harness import SHELL, ShellTestCase, closed_port, sanitizer_environment, wait_for
from test_install import descendants

SAMPLE = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "examples",
                                      "sample-app"))
PORT_FRONT = {"type": "backend", "fronturl": "http://127.0.0.1:{port}/index.html"}
PROJECT_TOPICS = {"project", "app.qvex", "type", "fronturl", "start URL", "backend", "qvexext.js",
                  "first.js", "id", "name", "icon", "window", "storage", "single_instance"}
EXTENSION = """var qvex = {};
(function () {
  native function registerCallBack(onResult, onError, onRegistered);
  native function paste(onDone);
  qvex.paste = paste;
})();
"""
FIRST = "window.qvex_nt_api = { unload: function () {} };\n"


class CheckTest(ShellTestCase):
    def check(self, project, *args, env=None):
        """Runs `--check` (text, then JSON); returns (status, text lines, JSON document)."""
        environ = {k: v for k, v in os.environ.items()
                   if k not in ("QVEX_PROJPATH", "WAYLAND_DISPLAY", "GDK_BACKEND", "GDK_SCALE")}
        environ.update(sanitizer_environment(), DISPLAY=self.display)
        # The findings name the renderer variables in effect: the sanitizer runs' own setting
        # of one of them is not the test's.
        environ.pop("WEBKIT_DISABLE_COMPOSITING_MODE", None)
        if project is not None:
            environ["QVEX_PROJPATH"] = project
        for name, value in (env or {}).items():
            if value is None:
                environ.pop(name, None)
            else:
                environ[name] = value
        runs = [subprocess.run([SHELL, "--check"] + list(args) + extra, env=environ,
                               capture_output=True, timeout=60)
                for extra in ([], ["--json"])]
        for run in runs:
            self.assertNotIn(b"AddressSanitizer", run.stderr)
        self.assertEqual(runs[0].returncode, runs[1].returncode)
        lines = runs[0].stdout.decode().splitlines()
        document = json.loads(runs[1].stdout.decode())
        self.assertEqual(len(lines), len(document["findings"]))  # One line per finding.
        return runs[0].returncode, lines, document

    def project(self, app_qvex=None, extension=EXTENSION, first=FIRST, front=None):
        """A backend project whose front end the harness serves; each argument may break it
        (None: the file is missing)."""
        if app_qvex is None:
            app_qvex = json.dumps({"type": "backend",
                                   "fronturl": front or self.url("/front.html")})
        files = {}
        if extension is not None:
            files["temp/js/qvexext.js"] = extension
        if first is not None:
            files["temp/js/first.js"] = first
        return self.make_project(None if app_qvex is False else app_qvex, files)

    def test_broken_projects(self):
        self.server.add_page("/front.html", "<html><body>front</body></html>")
        # A server that takes the connection and never answers.
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(1)
        self.addCleanup(silent.close)
        silent_url = "http://127.0.0.1:%d/" % silent.getsockname()[1]
        down_url = "http://127.0.0.1:%d/" % closed_port()

        def app_qvex_directory():  # A directory where the file should be: unreadable.
            project = self.project(app_qvex=False)
            os.mkdir(os.path.join(project, "app.qvex"))
            return project

        def app(**keys):  # A sound backend project with the desktop keys given.
            doc = dict({"type": "backend", "fronturl": self.url("/front.html")}, **keys)
            project = self.project(json.dumps(doc))
            with open(os.path.join(project, "broken.png"), "wb") as f:
                f.write(b"\x89PNG\r\n\x1a\n cut short")
            return project

        cases = [
            # (project, expected level, topic, words of the message)
            (lambda: app(id="dev.1bad"), "error", "id", 'its segment "1bad" starts with a digit'),
            (lambda: app(storage="persistent"), "error", "storage",
             "\"persistent\" needs the app's \"id\""),
            (lambda: app(id="dev.example.a", icon="broken.png"), "error", "icon", "does not decode"),
            (lambda: app(window={"width": 50, "height": 600}), "warning", "window",
             '"width" is not a whole number from 100 to 16384: ignored'),
            (lambda: app(id="dev.example.a", single_instance="no"), "warning", "single_instance",
             "not true or false"),
            (lambda: os.path.join(self.tmp, "no-such-project"), "error", "project",
             "does not exist"),
            (lambda: self.project(app_qvex=False), "error", "app.qvex", "no app.qvex in"),
            (app_qvex_directory, "error", "app.qvex", "cannot be read"),
            (lambda: self.project('{"type": "backend",\n  "fronturl": }'), "error", "app.qvex",
             "not valid JSON: Invalid value. (line 2, column 15)"),
            (lambda: self.project('["backend"]'), "error", "app.qvex", "not an object"),
            (lambda: self.project(json.dumps({"type": "Backend", "fronturl": self.url("/front.html")})),
             "warning", "type", '"Backend" differs from "backend" only in letter case'),
            (lambda: self.project(json.dumps({"type": "backend", "fronturl": "front.html"})),
             "error", "fronturl", "is not an absolute http(s) URL"),
            (lambda: self.project(front=down_url), "error", "fronturl",
             "does not answer (Could not connect"),
            (lambda: self.project(front=silent_url), "error", "fronturl",
             "does not answer (no answer within 2000 ms)"),
            (lambda: self.project(front=self.url("/missing.html")), "warning", "fronturl",
             "answers 404 Not Found"),
            (lambda: self.project(json.dumps(dict(PORT_FRONT, backend={
                "command": "exec no-such-program-q {port}"}))), "error", "backend",
             'its command\'s program "no-such-program-q" is not found on $PATH'),
            (lambda: self.project(json.dumps(dict(PORT_FRONT, backend={
                "command": "./serve.sh", "cwd": "srv"}))), "error", "backend",
             "is not a directory: the backend cannot start"),
            (lambda: self.project(json.dumps({"type": "backend", "fronturl": self.url("/front.html"),
                                              "backend": {"command": "x", "timeout": -1}})),
             "error", "backend", '"timeout" is not a positive number of seconds'),
            (lambda: self.project(json.dumps(PORT_FRONT)), "error", "fronturl",
             'holds {port}, but the project has no "backend"'),
            (lambda: self.project(extension=None), "error", "qvexext.js", "is missing"),
            (lambda: self.project(first=None), "error", "first.js", "is missing"),
            (lambda: self.project(extension=""), "warning", "qvexext.js", "is empty"),
            (lambda: self.project(first=" \n"), "warning", "first.js", "is empty"),
            (lambda: self.project(extension=b"var a = '\xe9t\xe9';\n" + EXTENSION.encode()),
             "error", "qvexext.js", "is not UTF-8 text (first bad byte at line 1, column 10)"),
            (lambda: self.project(extension=EXTENSION + "\nvar broken = {;\n"), "error",
             "qvexext.js", "syntax error at line 8 (var broken = {;): Unexpected token ';'"),
            (lambda: self.project(first="window.qvex_nt_api = {\n  unload: function () {\n};\n"),
             "error", "first.js", "syntax error at line 3"),
            (lambda: self.project(extension=EXTENSION.replace(
                "native function paste(onDone);",
                "native function clipBoardWriteText(text, onDone);")), "warning", "qvexext.js",
             "native function clipBoardWriteText (line 4) is not answered"),
            (lambda: self.project(first="window.api = {};\n"), "warning", "first.js",
             "never mentions qvex_nt_api"),
        ]
        for make, level, topic, words in cases:
            project = make()
            with self.subTest(topic=topic, words=words):
                started = time.monotonic()
                status, lines, document = self.check(project)
                self.assertLess(time.monotonic() - started, 30)
                found = [f for f in document["findings"] if f["topic"] in PROJECT_TOPICS and
                         f["level"] != "ok"]
                # Exactly the one finding this project was broken for.
                self.assertEqual([(f["level"], f["topic"]) for f in found], [(level, topic)],
                                 "\n".join(lines))
                self.assertIn(words, found[0]["message"])
                self.assertTrue(found[0]["fix"])
                self.assertEqual(status, 1 if level == "error" else 0, "\n".join(lines))
                self.assertEqual(document["errors"], 1 if level == "error" else 0)
                line = [l for l in lines if words in l]
                self.assertEqual(len(line), 1, "\n".join(lines))
                self.assertRegex(line[0], r"^%s +%s: .* -- fix: ." % (level, topic))
        # The misspelled native names the nearest answered one.
        status, lines, document = self.check(cases[-2][0]())
        self.assertIn("did you mean clipboardWriteText?",
                      "\n".join(f["fix"] for f in document["findings"]))

    def sample_project(self):
        """A copy of the sample project whose front end is the harness's server, not its own
        backend (which --check names without starting)."""
        project = os.path.join(self.tmp, "sample")
        shutil.copytree(SAMPLE, project)
        path = os.path.join(project, "app.qvex")
        with open(path) as f:
            doc = json.load(f)
        self.assertIn("{port}", doc["fronturl"])
        del doc["backend"]
        doc["fronturl"] = self.url("/index.html")
        with open(path, "w") as f:
            json.dump(doc, f)
        with open(os.path.join(SAMPLE, "front", "index.html")) as f:
            self.server.add_page("/index.html", f.read())
        return project

    def test_the_sample_project_is_clean_with_or_without_a_display(self):
        # As it is, its backend named and not started.
        status, lines, document = self.check(SAMPLE)
        topics = {f["topic"]: f for f in reversed(document["findings"])}  # Each topic's first.
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertIn("python3 backend/server.py {port}", topics["backend"]["message"])
        self.assertIn("served by the project's backend", topics["fronturl"]["message"])

        project = self.sample_project()
        status, lines, document = self.check(project)
        self.assertEqual(status, 0, "\n".join(lines))
        self.assertEqual(document["errors"], 0)
        topics = {f["topic"]: f for f in document["findings"]}
        self.assertEqual(topics["start URL"]["message"],
                         self.url("/index.html") + " (the project's fronturl)")
        self.assertIn("native functions: registerCallBack, clipboardWriteText, paste, sendKey, "
                      "triggerApp, triggerEvent, unload", topics["qvexext.js"]["message"])
        self.assertIn("answers 200 OK", topics["fronturl"]["message"])
        self.assertIn(self.display + " answers", topics["display"]["message"])
        for topic in ("WebKitGTK", "GTK", "NVIDIA", "rendering"):
            self.assertIn(topic, topics)
        project_findings = [f for f in document["findings"] if f["topic"] in PROJECT_TOPICS]

        # No display: the same project findings; the display is the one error.
        status, lines, document = self.check(project, env={"DISPLAY": None})
        self.assertEqual(status, 1)
        self.assertEqual([f for f in document["findings"] if f["topic"] in PROJECT_TOPICS],
                         project_findings)
        self.assertEqual([(f["level"], f["topic"]) for f in document["findings"]
                          if f["level"] != "ok"], [("error", "display")])
        self.assertIn("DISPLAY is not set", "\n".join(lines))

    def test_switches_and_the_desktop(self):
        status, lines, document = self.check(
            self.make_project('{"type": "frontend"}'), "--url=" + self.url("/x.html"),
            "--safe-rendering",
            env={"WEBKIT_DISABLE_DMABUF_RENDERER": "0", "GDK_BACKEND": "wayland",
                 "GDK_SCALE": "1.5", "WAYLAND_DISPLAY": "wayland-0"})
        findings = {(f["level"], f["topic"]): f["message"] for f in document["findings"]}
        self.assertEqual(findings[("ok", "start URL")], self.url("/x.html") + " (--url)")
        self.assertIn("GDK_BACKEND=wayland leaves GTK no X11 backend",
                      findings[("error", "GDK_BACKEND")])
        self.assertIn("not a whole number", findings[("warning", "GDK_SCALE")])
        self.assertIn("runs through XWayland", "\n".join(lines))
        # --safe-rendering leaves the user's variable alone and sets the other one.
        self.assertIn("WEBKIT_DISABLE_DMABUF_RENDERER=0: off, as if unset (your setting",
                      findings[("ok", "WEBKIT_DISABLE_DMABUF_RENDERER")])
        self.assertTrue(findings[("ok", "rendering")].startswith(
            "the shell sets WEBKIT_DISABLE_COMPOSITING_MODE=1 for this run: --safe-rendering"))
        self.assertEqual(status, 1)

    def test_safe_rendering_reaches_the_web_process(self):
        self.server.add_page("/page.html", "<html><body><script src='/report.js'></script>"
                                           "<script>report('loaded', 1)</script></body></html>")
        shell = self.start("--safe-rendering", "--url=" + self.url("/page.html"), variant=False,
                           env={"WEBKIT_DISABLE_DMABUF_RENDERER": "0"})
        self.wait_report("loaded")

        def environments():
            found = []
            for pid in descendants(shell.proc.pid):
                try:
                    # A child caught between fork and exec still shows the shell's own
                    # start-up environment: only WebKit's programs count.
                    if "WebKit" not in os.readlink("/proc/%d/exe" % pid):
                        continue
                    with open("/proc/%d/environ" % pid, "rb") as f:
                        found.append(dict(e.split(b"=", 1) for e in f.read().split(b"\0") if b"=" in e))
                except OSError:
                    pass
            return found
        children = wait_for(environments, what="the shell's web processes")
        for env in children:
            self.assertEqual(env.get(b"WEBKIT_DISABLE_DMABUF_RENDERER"), b"0")  # the user's
            self.assertEqual(env.get(b"WEBKIT_DISABLE_COMPOSITING_MODE"), b"1")
        notes = [l for l in shell.stderr_lines if "for this run" in l]
        if "WEBKIT_DISABLE_COMPOSITING_MODE" not in sanitizer_environment():
            self.assertEqual(len(notes), 1, shell.stderr_lines)
            self.assertIn("INFO", notes[0])
            self.assertIn("WEBKIT_DISABLE_COMPOSITING_MODE=1 for this run: --safe-rendering",
                          notes[0])


if __name__ == "__main__":
    unittest.main()
