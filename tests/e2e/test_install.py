"""Installed and packaged: --version and --help without a display, `cmake --install` to a
prefix that is then moved, and the Debian package (its files, lintian, the sample project's
launcher) with the shell taken from the package, never from the build tree."""

import errno
import glob
import gzip
import json
import os
import random
import shlex
import shutil
import socket
import subprocess
import tempfile
import unittest

from harness import BUILD_DIR, SANITIZED, SHELL, ShellTestCase, sanitizer_environment, wait_for

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
SAMPLE = os.path.join(SOURCE_DIR, "examples", "sample-app")
LAUNCHER = os.path.join(SAMPLE, "qvexdesk-sample.desktop")
# Where the launcher says the sample project lies; a project's own launcher names its own.
SAMPLE_INSTALLED_AT = "/opt/quenvale-sample"

# Every file an install holds, relative to its prefix (directories aside).
INSTALLED_FILES = {
    "bin/qvexdesk",
    "lib/qvexdesk/qvexdesk",
    "lib/qvexdesk/webext/libqvexdesk-webext.so",
    "share/man/man1/qvexdesk.1.gz",
    "share/doc/qvexdesk/README.md",
    "share/doc/qvexdesk/copyright",
    "share/doc/qvexdesk/changelog.gz",
}

# The sample's own page, with a reporter added at its end: what the bridge gave the page.
SAMPLE_REPORTER = """<script src="/report.js"></script>
<script>
report('projectPath', typeof projectPath === 'string' ? projectPath : '(no projectPath)');
(function poll() {
  var number = document.getElementById('registration').textContent;
  if (number !== '(not registered)') report('registration', number);
  else setTimeout(poll, 50);
})();
// first.js comes from the shell at commit, not ordered with the page's scripts: wait for it.
(function pollFirst() {
  if (window.qvex_nt_api) report('first', typeof qvex_nt_api.unload);
  else setTimeout(pollFirst, 50);
})();
</script>
</body>"""


def project_version():
    with open(os.path.join(BUILD_DIR, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.split("=", 1)[1].strip()
    raise AssertionError("no project version in the build's CMakeCache.txt")


def files_under(root):
    """Every file and link below root, relative to it."""
    found = set()
    for folder, _, names in os.walk(root):
        for name in names:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def descendants(pid):
    """The processes below pid (WebKit's web and network processes of a shell)."""
    children = {}
    for stat in glob.glob("/proc/[0-9]*/stat"):
        try:
            with open(stat) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        children.setdefault(int(fields[1]), []).append(int(stat.split("/")[2]))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def mapped_modules(pids):
    """The paths of the web-extension modules the given processes have loaded."""
    paths = set()
    for pid in pids:
        try:
            with open("/proc/%d/maps" % pid) as f:
                for line in f:
                    if line.rstrip().endswith("/libqvexdesk-webext.so"):
                        paths.add(line.split(None, 5)[5].strip())
        except OSError:
            pass
    return paths


def run(argv, **kwargs):
    result = subprocess.run(argv, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        raise AssertionError("%s failed (%d):\n%s%s" % (argv, result.returncode, result.stdout,
                                                        result.stderr))
    return result.stdout


class VersionAndHelpTest(unittest.TestCase):
    """Both answer on standard output with status 0 and never touch a display."""

    def shell(self, *args, env=None, stdout=subprocess.PIPE):
        environ = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        environ.update(sanitizer_environment())
        environ.update(env or {})
        return subprocess.run([SHELL] + list(args), env=environ, stdout=stdout,
                              stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, timeout=60)

    def test_version(self):
        for args in (("--version",), ("--url=http://127.0.0.1:1/", "--version")):
            with self.subTest(args=args):
                result = self.shell(*args)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout.decode(), "qvexdesk %s\n" % project_version())
                self.assertEqual(result.stderr.decode(), "")

    def test_help_is_the_manual_page_synopsis(self):
        result = self.shell("--help")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stderr.decode(), "")
        usage = result.stdout.decode().splitlines()
        page = subprocess.run(["man", "-l", os.path.join(BUILD_DIR, "packaging", "qvexdesk.1")],
                              capture_output=True, text=True, check=True,
                              env=dict(os.environ, MANWIDTH="200", MAN_KEEP_FORMATTING="",
                                       LC_ALL="C.UTF-8")).stdout.splitlines()
        synopsis = page[page.index("SYNOPSIS") + 1:page.index("DESCRIPTION")]
        synopsis = [" ".join(l.split()) for l in synopsis if l.strip()]
        self.assertEqual(synopsis, [" ".join(l.replace("Usage:", "").split()) for l in usage[:4]])
        # Every switch the manual page explains, --help names too.
        options = page[page.index("OPTIONS") + 1:page.index("EXIT STATUS")]
        switches = [l.split()[0] for l in options if l.startswith("       --")]
        self.assertGreaterEqual(len(switches), 5, options)
        for switch in switches:
            self.assertTrue(any(l.strip().startswith(switch) for l in usage), switch)

    def test_a_failed_write_fails(self):
        with open("/dev/full", "w") as full:
            for switch in ("--version", "--help"):
                with self.subTest(switch=switch):
                    result = self.shell(switch, stdout=full)
                    self.assertEqual(result.returncode, 1)
                    self.assertIn("cannot write to standard output", result.stderr.decode())

    def test_no_display_is_opened(self):
        # A listening socket where X clients look for display :N first (the abstract name).
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        for _ in range(50):
            number = random.randint(20000, 60000)
            try:
                listener.bind("\0/tmp/.X11-unix/X%d" % number)
                break
            except OSError as e:
                if e.errno != errno.EADDRINUSE:
                    raise
        listener.listen(8)
        listener.setblocking(False)
        self.addCleanup(listener.close)

        def connections():
            count = 0
            while True:
                try:
                    listener.accept()[0].close()
                    count += 1
                except BlockingIOError:
                    return count

        display = {"DISPLAY": ":%d" % number}
        for switch in ("--version", "--help"):
            result = self.shell(switch, env=display)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(connections(), 0, switch)
        # The same shell without them goes to that display at once (which never answers).
        environ = {k: v for k, v in os.environ.items() if k != "WAYLAND_DISPLAY"}
        environ.update(sanitizer_environment(), **display)
        shell = subprocess.Popen([SHELL, "--url=http://127.0.0.1:1/"], env=environ,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(connections, timeout=30, what="the shell's connection to the display")
        finally:
            shell.kill()
            shell.wait()


class InstalledShellTestCase(ShellTestCase):
    """Runs the sample project with an installed shell, its front end served by the harness."""

    def sample_project(self):
        """A copy of the sample project whose front URL is the harness's server."""
        project = os.path.join(self.tmp, "quenvale-sample")
        shutil.copytree(SAMPLE, project)
        with open(os.path.join(project, "app.qvex")) as f:
            app = json.load(f)
        # The sample's own backend serves it on a port of its choosing; here the harness does.
        self.assertEqual(app.pop("backend")["command"], "exec python3 backend/server.py {port}")
        self.assertEqual(app["fronturl"], "http://127.0.0.1:{port}/index.html")
        app["fronturl"] = self.url("/index.html")
        with open(os.path.join(project, "app.qvex"), "w") as f:
            json.dump(app, f)
        with open(os.path.join(SAMPLE, "front", "index.html")) as f:
            self.server.add_page("/index.html", f.read().replace("</body>", SAMPLE_REPORTER))
        return project

    def check_sample_run(self, shell, project, expected_exe):
        """The bridge works in the sample's page, every module loaded is the installed one, and
        the shell ends with status 0 once its window is closed."""
        self.assertEqual(self.wait_report("registration", timeout=40), ["11"])
        self.assertEqual(self.wait_report("projectPath"), [project])
        self.assertEqual(self.wait_report("first"), ["function"])
        self.assertEqual(os.path.realpath("/proc/%d/exe" % shell.proc.pid), expected_exe)
        modules = mapped_modules(descendants(shell.proc.pid))
        self.assertEqual(modules, {os.path.join(os.path.dirname(expected_exe), "webext",
                                                "libqvexdesk-webext.so")})
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=30), 0)


class InstallPrefixTest(InstalledShellTestCase):
    def test_install_works_from_any_prefix(self):
        prefix = os.path.join(self.tmp, "prefix")
        run(["cmake", "--install", BUILD_DIR, "--prefix", prefix])
        self.assertEqual(files_under(prefix), INSTALLED_FILES)
        self.assertEqual(os.readlink(os.path.join(prefix, "bin", "qvexdesk")),
                         "../lib/qvexdesk/qvexdesk")
        # Installed files hold no path of their prefix: the tree works after a move.
        moved = os.path.join(self.tmp, "moved", "elsewhere")
        os.makedirs(os.path.dirname(moved))
        os.rename(prefix, moved)
        project = self.sample_project()
        shell = self.start(project=project, variant=os.path.join(moved, "bin", "qvexdesk"))
        self.check_sample_run(shell, project, os.path.join(moved, "lib", "qvexdesk", "qvexdesk"))


@unittest.skipIf(SANITIZED, "the package is made from the normal build only: a sanitizer "
                            "build is never shipped")
class PackageTest(InstalledShellTestCase):
    @classmethod
    def setUpClass(cls):
        cls.package_dir = tempfile.mkdtemp(prefix="qvex-package-")
        run(["cpack", "-G", "DEB", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"),
             "-B", cls.package_dir])
        (cls.deb,) = glob.glob(os.path.join(cls.package_dir, "*.deb"))
        cls.root = os.path.join(cls.package_dir, "root")
        run(["dpkg-deb", "-x", cls.deb, cls.root])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.package_dir, ignore_errors=True)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).strip()

    def test_control_fields(self):
        version = project_version()
        arch = run(["dpkg", "--print-architecture"]).strip()
        self.assertEqual(os.path.basename(self.deb), "qvexdesk_%s_%s.deb" % (version, arch))
        self.assertEqual(self.field("Package"), "qvexdesk")
        self.assertEqual(self.field("Version"), version)
        self.assertEqual(self.field("Architecture"), arch)
        depends = [d.strip() for d in self.field("Depends").split(",")]
        names = [d.split()[0] for d in depends]
        for library in ("libc6", "libstdc++6", "libgtk-3-0", "libwebkit2gtk-4.1-0", "libx11-6"):
            self.assertIn(library, names)
        self.assertIn("libc6 (>= ", self.field("Depends"))  # versions from the symbols used
        summary, *long_lines = self.field("Description").splitlines()
        self.assertTrue(summary and len(summary) < 80, summary)
        self.assertGreaterEqual(len(long_lines), 3)

    def test_files_are_the_documented_ones(self):
        usr = os.path.join(self.root, "usr")
        self.assertEqual(files_under(self.root), {"usr/" + f for f in INSTALLED_FILES})
        self.assertEqual(os.readlink(os.path.join(usr, "bin", "qvexdesk")),
                         "../lib/qvexdesk/qvexdesk")
        with open(os.path.join(usr, "share/doc/qvexdesk/README.md"), "rb") as f, \
                open(os.path.join(SOURCE_DIR, "README.md"), "rb") as g:
            self.assertEqual(f.read(), g.read())
        with gzip.open(os.path.join(usr, "share/man/man1/qvexdesk.1.gz"), "rt") as f:
            page = f.read()
        self.assertIn('"qvexdesk %s"' % project_version(), page)
        with gzip.open(os.path.join(usr, "share/doc/qvexdesk/changelog.gz"), "rt") as f:
            self.assertTrue(f.readline().startswith("qvexdesk (%s) " % project_version()))
        for program in ("lib/qvexdesk/qvexdesk", "lib/qvexdesk/webext/libqvexdesk-webext.so"):
            described = run(["file", "-b", os.path.join(usr, program)])
            self.assertIn("ELF", described)
            self.assertIn(", stripped", described)

    def test_lintian_finds_no_error_or_warning(self):
        result = subprocess.run(["lintian", "--fail-on", "error,warning", self.deb],
                                capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_sample_launcher_starts_the_packaged_shell(self):
        self.assertEqual(run(["desktop-file-validate", LAUNCHER]), "")
        project = self.sample_project()
        # As a project makes its own launcher: its own directory in place of the sample's.
        with open(LAUNCHER) as f:
            text = f.read()
        self.assertIn("Exec=env QVEX_PROJPATH=%s qvexdesk\n" % SAMPLE_INSTALLED_AT, text)
        own = os.path.join(self.tmp, "quenvale-sample.desktop")
        with open(own, "w") as f:
            f.write(text.replace(SAMPLE_INSTALLED_AT, project))
        applications = os.path.join(self.tmp, "applications")
        run(["desktop-file-install", "--dir=" + applications, own])
        installed = os.path.join(applications, "quenvale-sample.desktop")
        self.assertEqual(run(["desktop-file-validate", installed]), "")
        with open(installed) as f:
            entry = dict(line.split("=", 1) for line in f.read().splitlines()
                         if "=" in line and not line.startswith("#"))
        self.assertTrue(os.path.isfile(entry["Icon"]), entry["Icon"])
        # Started as a desktop starts it: the Exec line, qvexdesk found on the PATH, which
        # holds the package's bin/ and not the build tree.
        argv = shlex.split(entry["Exec"])
        path = os.path.join(self.root, "usr", "bin") + os.pathsep + os.environ["PATH"]
        shell = self.start(*argv[1:], variant=shutil.which(argv[0]), env={"PATH": path})
        self.check_sample_run(shell, project,
                              os.path.join(self.root, "usr", "lib", "qvexdesk", "qvexdesk"))


if __name__ == "__main__":
    unittest.main()
