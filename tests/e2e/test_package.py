"""`qvexdesk --package`: the sample project's own Debian package (its files, fields, lintian,
AppStream, the desktop entry, the same bytes twice), the findings that stop it, and the app
installed with apt next to the shell's own package, started as a user and a desktop start it
(its backend from the installed folder, stopped with the window), then removed without a
trace."""

import glob
import json
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from harness import BUILD_DIR, SANITIZED, SHELL, png, wait_for
from test_install import (SAMPLE, SAMPLE_REPORTER, InstalledShellTestCase, descendants,
                          project_version, run)

APP_ID = "dev.quenvale.sample"
COMMAND = "quenvale-sample"
ICON_SIZES = (16, 32, 48, 64, 128, 256, 512)
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300", "--no-install-recommends"]


def package(project, out, epoch="1765000000", expect=0):
    """Runs --package; returns (status, stdout, stderr)."""
    environ = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    environ.update(QVEX_PROJPATH=project, SOURCE_DATE_EPOCH=epoch)
    result = subprocess.run([SHELL, "--package", "--out=" + out], env=environ,
                            capture_output=True, text=True, timeout=120)
    if expect is not None and result.returncode != expect:
        raise AssertionError("--package ended with %d:\n%s%s" % (result.returncode,
                                                                 result.stdout, result.stderr))
    return result.returncode, result.stdout, result.stderr


def contents(deb):
    """{path: (mode text, owner)} of the package's entries, directories aside."""
    entries = {}
    for line in run(["dpkg-deb", "-c", deb]).splitlines():
        mode, owner, _, _, _, path = line.split(None, 5)
        if not mode.startswith("d"):
            entries[path.split(" -> ")[0].lstrip(".")] = (mode, owner)
    return entries


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


@unittest.skipIf(SANITIZED, "packages are made by the normal build only")
class PackageCommandTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="qvex-package-")
        self.addCleanup(shutil.rmtree, self.tmp, True)

    def project(self, changes=None, name="sample"):
        """A copy of the sample project, its app.qvex changed by `changes` (None: removed)."""
        project = os.path.join(self.tmp, name)
        shutil.copytree(SAMPLE, project)
        path = os.path.join(project, "app.qvex")
        with open(path) as f:
            doc = json.load(f)
        for key, value in (changes or {}).items():
            if value is None:
                doc.pop(key, None)
            else:
                doc[key] = value
        with open(path, "w") as f:
            json.dump(doc, f)
        return project

    def test_sample_package(self):
        project = self.project()
        # Left out always: the version control's folder and the output folder inside it.
        os.makedirs(os.path.join(project, ".git"))
        with open(os.path.join(project, ".git", "HEAD"), "w") as f:
            f.write("ref: refs/heads/main\n")
        out = os.path.join(project, "dist")
        _, stdout, stderr = package(project, out)
        deb = os.path.join(out, "%s_0.1.0_all.deb" % APP_ID)
        self.assertEqual(stdout, deb + "\n")
        self.assertEqual(stderr, "")
        self.assertEqual(os.listdir(out), [os.path.basename(deb)])  # no partial file left

        # The same project and SOURCE_DATE_EPOCH give the same bytes.
        first = os.path.join(self.tmp, "first.deb")
        os.rename(deb, first)
        package(project, out)
        with open(deb, "rb") as a, open(first, "rb") as b:
            self.assertEqual(a.read(), b.read())

        fields = {name: run(["dpkg-deb", "-f", deb, name]).strip()
                  for name in ("Package", "Version", "Architecture", "Depends", "Maintainer")}
        self.assertEqual(fields, {"Package": APP_ID, "Version": "0.1.0", "Architecture": "all",
                                  "Depends": "qvexdesk (>= %s), python3" % project_version(),
                                  "Maintainer": "Quenvale sample <noreply@sample.quenvale.dev>"})
        entries = contents(deb)
        lib = "/usr/lib/" + APP_ID + "/"
        icons = {"/usr/share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID)
                 for n in ICON_SIZES}
        self.assertEqual(set(entries), {
            lib + "app.qvex", lib + "icon.svg", lib + "front/index.html", lib + "backend/server.py",
            lib + "temp/js/first.js", lib + "temp/js/qvexext.js",  # not tests/, .git or dist/
            "/usr/bin/" + COMMAND, "/usr/share/applications/%s.desktop" % APP_ID,
            "/usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
            "/usr/share/metainfo/%s.metainfo.xml" % APP_ID,
            "/usr/share/doc/%s/copyright" % APP_ID, "/usr/share/doc/%s/changelog.gz" % APP_ID,
            "/usr/share/man/man1/%s.1.gz" % COMMAND} | icons)
        for path, (mode, owner) in entries.items():
            self.assertEqual(owner, "root/root", path)
            self.assertEqual(mode, "-rwxr-xr-x" if path.startswith("/usr/bin/") else "-rw-r--r--",
                             path)

        root = os.path.join(self.tmp, "root")
        run(["dpkg-deb", "-x", deb, root])
        for n in ICON_SIZES:
            self.assertEqual(png_size(root + "/usr/share/icons/hicolor/%dx%d/apps/%s.png"
                                      % (n, n, APP_ID)), (n, n))
        desktop = root + "/usr/share/applications/%s.desktop" % APP_ID
        self.assertEqual(run(["desktop-file-validate", desktop]), "")
        with open(desktop) as f:
            entry = dict(l.split("=", 1) for l in f.read().splitlines() if "=" in l)
        self.assertEqual((entry["Exec"], entry["Icon"], entry["StartupWMClass"], entry["Name"]),
                         (COMMAND, APP_ID, APP_ID, "Quenvale sample"))
        run(["appstreamcli", "validate", "--no-net", "--pedantic",
             root + "/usr/share/metainfo/%s.metainfo.xml" % APP_ID])
        with open(root + "/usr/bin/" + COMMAND) as f:
            self.assertIn("QVEX_PROJPATH='/usr/lib/%s'" % APP_ID, f.read())
        lintian = subprocess.run(["lintian", "--fail-on", "error,warning", deb],
                                 capture_output=True, text=True)
        self.assertEqual(lintian.returncode, 0, lintian.stdout + lintian.stderr)

    def test_findings_stop_it(self):
        cases = [
            # (changes to app.qvex, words of the error on standard error)
            ({"version": None}, 'package: --package needs "version" in app.qvex'),
            ({"id": None, "name": None}, '--package needs "id" and "name"'),
            ({"version": "v1"}, '"v1" is not a Debian version'),
            ({"depends": "python3 (>= 3.11"}, "is not a Debian dependency list"),
            ({"categories": "Office"}, "not a list of strings"),
        ]
        for changes, words in cases:
            with self.subTest(changes=changes):
                project = self.project(changes, name="p%d" % len(os.listdir(self.tmp)))
                out = os.path.join(self.tmp, "out-" + os.path.basename(project))
                status, stdout, stderr = package(project, out, expect=1)
                self.assertEqual(stdout, "")
                self.assertIn(words, stderr)
                self.assertRegex(stderr, r"(?m)^error +\S+: .* -- fix: .")
                self.assertTrue(stderr.endswith("qvexdesk: --package: no package made\n"), stderr)
                self.assertEqual(glob.glob(os.path.join(out, "*")), [])
        status, _, stderr = package(os.path.join(self.tmp, "nowhere"), self.tmp, expect=1)
        self.assertIn("QVEX_PROJPATH", stderr)

    def test_programs_icons_and_what_check_says(self):
        # A project holding a program is for this machine's architecture; a small PNG icon is
        # enlarged, and the note says so.
        project = self.project({"icon": "small.png", "package": {"exclude": ["*.svg", "tests"]}})
        with open(os.path.join(project, "small.png"), "wb") as f:
            f.write(png(40, 20))
        shutil.copy("/bin/true", os.path.join(project, "helper"))
        _, stdout, stderr = package(project, self.tmp)
        arch = run(["dpkg", "--print-architecture"]).strip()
        self.assertTrue(stdout.strip().endswith("_0.1.0_%s.deb" % arch), stdout)
        self.assertIn("note: the icon is 40x20: enlarged, and so blurred, at 48, 64, 128, 256, "
                      "512", stderr)
        self.assertIn("the package is for %s only" % arch, stderr)
        entries = contents(stdout.strip())
        self.assertEqual(entries["/usr/lib/%s/helper" % APP_ID][0], "-rwxr-xr-x")
        self.assertFalse(any(p.endswith(".svg") for p in entries))
        root = os.path.join(self.tmp, "root")
        run(["dpkg-deb", "-x", stdout.strip(), root])
        self.assertEqual(png_size(root + "/usr/share/icons/hicolor/64x64/apps/%s.png" % APP_ID),
                         (64, 64))

        # --check: ready, and a backend that writes into the project is named.
        def check(project):
            result = subprocess.run([SHELL, "--check", "--json"], capture_output=True, text=True,
                                    env=dict(os.environ, QVEX_PROJPATH=project), timeout=60)
            return {(f["level"], f["topic"]): f for f in json.loads(result.stdout)["findings"]}
        findings = check(self.project(name="ready"))
        self.assertIn("--package builds %s 0.1.0, started as %s" % (APP_ID, COMMAND),
                      findings[("ok", "package")]["message"])
        findings = check(self.project({"backend": {"command": "python3 serve.py >> serve.log"},
                                       "version": None}, name="writes"))
        self.assertIn("writes into the project (>> serve.log)",
                      findings[("warning", "backend")]["message"])
        self.assertIn("QVEX_DATADIR", findings[("warning", "backend")]["fix"])
        self.assertIn('needs "version"', findings[("warning", "package")]["message"])


def installed(name):
    result = subprocess.run(["dpkg-query", "-W", "-f=${db:Status-Abbrev}", name],
                            capture_output=True, text=True)
    return result.returncode == 0 and result.stdout.startswith("ii")


def ended(pid):
    """True once the process is gone (or a zombie no one reaps: it was not our child)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


@unittest.skipIf(SANITIZED, "packages are made by the normal build only")
class InstalledAppTest(InstalledShellTestCase):
    """Both packages installed with apt, as a user installs an app; removed again at the end
    (the shell's package only when it was not installed before)."""

    @classmethod
    def setUpClass(cls):
        cls.package_dir = tempfile.mkdtemp(prefix="qvex-apt-")
        run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"),
             "-B", cls.package_dir])
        (cls.shell_deb,) = glob.glob(os.path.join(cls.package_dir, "qvexdesk_*.deb"))
        cls.had_shell = installed("qvexdesk")

    @classmethod
    def tearDownClass(cls):
        if installed(APP_ID):
            run(APT + ["remove", APP_ID])
        if not cls.had_shell and installed("qvexdesk"):
            run(APT + ["remove", "qvexdesk"])
        shutil.rmtree(cls.package_dir, ignore_errors=True)

    def shipped_sample(self):
        """A copy of the sample project as it ships, its own backend serving its front end, whose
        page also reports to this test's server."""
        project = os.path.join(self.tmp, "quenvale-sample")
        shutil.copytree(SAMPLE, project)
        page = os.path.join(project, "front", "index.html")
        with open(page) as f:
            text = f.read()
        reporter = SAMPLE_REPORTER.replace('src="/report.js"',
                                           'src="%s/report.js"' % self.server.origin)
        with open(page, "w") as f:
            f.write(text.replace("</body>", reporter))
        return project

    def backend_of(self, shell_pid):
        """The installed backend's process: (pid, its environment); it runs from the app's
        folder."""
        def find():
            for pid in descendants(shell_pid):
                try:
                    with open("/proc/%d/cmdline" % pid, "rb") as f:
                        if b"backend/server.py" not in f.read().split(b"\0"):
                            continue
                    with open("/proc/%d/environ" % pid, "rb") as f:
                        env = dict(e.split(b"=", 1) for e in f.read().split(b"\0") if b"=" in e)
                    return pid, env, os.readlink("/proc/%d/cwd" % pid)
                except OSError:
                    pass
            return None
        pid, env, cwd = wait_for(find, what="the app's backend")
        self.assertEqual(cwd, "/usr/lib/" + APP_ID)
        return pid, env

    def window_class(self, window):
        return self.x("xprop", "-id", str(window), "WM_CLASS").split("=", 1)[-1].strip()

    def opened(self, shell_pid, reports):
        """The installed app's window: the bridge and the project's path reach its page, the
        installed shell runs it; returns its window."""
        self.assertEqual(self.wait_report("registration", timeout=40, count=reports)[-1], "11")
        self.assertEqual(self.wait_report("projectPath", count=reports)[-1], "/usr/lib/" + APP_ID)
        self.assertEqual(os.path.realpath("/proc/%d/exe" % shell_pid), "/usr/lib/qvexdesk/qvexdesk")
        with open("/proc/%d/environ" % shell_pid, "rb") as f:
            self.assertIn(b"QVEX_PROJPATH=/usr/lib/" + APP_ID.encode() + b"\0", f.read())
        window = wait_for(lambda: (lambda w: int(w.split()[0]) if w.split() else None)(
            self.x("xdotool", "search", "--onlyvisible", "--pid", str(shell_pid), check=False)),
            timeout=30, what="the app's window")
        wait_for(lambda: self.window_name(window) == "Quenvale sample", what="the app's title")
        return window

    def test_installed_with_apt_started_and_removed(self):
        project = self.shipped_sample()
        _, stdout, _ = package(project, self.tmp)
        app_deb = stdout.strip()
        files = sorted(contents(app_deb))
        run(APT + ["install", self.shell_deb, app_deb])
        self.assertTrue(installed(APP_ID) and installed("qvexdesk"))
        for path in files:
            self.assertTrue(os.path.exists(path), path)
        classes = []
        env = self.app_env()
        launch_env = dict(os.environ, DISPLAY=self.display)
        for key, value in env.items():
            if value is None:
                launch_env.pop(key, None)
            else:
                launch_env[key] = value

        # As a user starts it: the command on PATH, its arguments passed on to the shell. Its
        # backend runs from the app's folder and keeps its data in the user's; the page's
        # unload reaches it before it is stopped.
        shell = self.start("--log-severity=warning", variant=shutil.which(COMMAND), env=env)
        window = self.opened(shell.proc.pid, 1)
        backend, backend_env = self.backend_of(shell.proc.pid)
        state = os.path.join(backend_env[b"QVEX_DATADIR"].decode(), "state.json")
        self.assertTrue(state.startswith(env["HOME"] + "/.local/share/" + APP_ID + "/"), state)
        classes.append(self.window_class(window))
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=30), 0)
        self.assertTrue(ended(backend))
        with open(state) as f:
            self.assertIsNotNone(json.load(f)["closed"])

        # As a desktop starts it: its desktop entry, by id.
        # gtk-launch's output goes to the app it starts: not to a pipe this test would wait on.
        subprocess.run(["gtk-launch", APP_ID], env=launch_env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60,
                       check=True)
        found = wait_for(lambda: self.x("xdotool", "search", "--onlyvisible", "--name",
                                        "^Quenvale sample$", check=False).split(),
                         timeout=40, what="the window gtk-launch opened")
        pid = int(self.x("xdotool", "getwindowpid", found[0]))
        window = self.opened(pid, 2)
        backend, _ = self.backend_of(pid)
        classes.append(self.window_class(window))
        self.close_window(window)
        wait_for(lambda: ended(pid), timeout=30, what="the app's end")
        self.assertTrue(ended(backend))

        # Removed, nothing of it stays.
        run(APT + ["remove", APP_ID])
        self.assertFalse(installed(APP_ID))
        self.assertEqual([p for p in files if os.path.lexists(p)], [])
        for folder in ("/usr/lib/" + APP_ID, "/usr/share/doc/" + APP_ID):
            self.assertFalse(os.path.exists(folder), folder)
        self.assertTrue(installed("qvexdesk"))

        # The window is named by the id, as the desktop entry's StartupWMClass says.
        for window_class in classes:
            self.assertEqual(window_class, '"%s", "%s"' % (APP_ID, APP_ID))


if __name__ == "__main__":
    unittest.main()
