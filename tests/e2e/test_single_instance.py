"""One instance per app id: a second start brings the first window forward and ends; a lock
left by a killed instance, or a hung one, does not keep the app from starting; two ids run
side by side."""

import os
import signal
import subprocess
import time
import unittest

from harness import SHELL, ShellTestCase, wait_for


class SingleInstanceTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.server.add_page("/", "<html><head><title>Running</title></head><body>app</body></html>")
        self.env = self.app_env()
        self.projects = {}

    def project(self, keys):
        if keys not in self.projects:
            self.projects[keys] = self.make_project(keys)
        return self.projects[keys]

    def first(self, keys='{"id": "dev.example.once"}'):
        shell = self.start("--url=" + self.url("/"), project=self.project(keys), env=self.env,
                           variant=False)
        return shell, self.wait_windows(shell, 1)[0]

    def second(self, keys='{"id": "dev.example.once"}', **extra):
        env = dict(os.environ, DISPLAY=self.display, QVEX_PROJPATH=self.project(keys))
        env.update({k: v for k, v in self.env.items() if v is not None}, **extra)
        return subprocess.run([SHELL, "--url=" + self.url("/")], env=env, capture_output=True,
                              text=True, timeout=30)

    def focused(self):
        return int(self.x("xdotool", "getwindowfocus").strip())

    def test_a_second_start_brings_the_first_forward(self):
        shell, window = self.first()
        root = int(self.x("xwininfo", "-root").split("Window id: ")[1].split()[0], 16)
        # A launcher's startup id (without _TIME the window takes a fresh server time).
        for startup_id in (None, "test-launch-1"):
            with self.subTest(startup_id=startup_id):
                self.x("xdotool", "windowfocus", str(root))
                extra = {"DESKTOP_STARTUP_ID": startup_id} if startup_id else {}
                result = self.second(**extra)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(len(result.stdout.splitlines()), 1, result.stdout)
                self.assertIn("already running", result.stdout)
                wait_for(lambda: self.focused() == window, what="the first window focused")
                self.assertEqual(self.windows(shell), [window])  # No second window.
        asked = [l for l in shell.stderr_lines if "asked this one to come forward" in l]
        self.assertEqual(len(asked), 2, shell.stderr_lines)
        # Another id, and an app that allows many, run beside it.
        other, _ = self.first('{"id": "dev.example.other"}')
        many = '{"id": "dev.example.once2", "single_instance": false}'
        self.first(many)
        self.first(many)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_a_killed_or_hung_instance_does_not_lock_the_app_out(self):
        shell, window = self.first()
        shell.proc.kill()  # Its lock file and socket stay behind.
        shell.proc.wait()
        shell, window = self.first()  # Taken over.
        # Stopped: holds the lock, never answers.
        os.killpg(shell.proc.pid, signal.SIGSTOP)
        try:
            late, late_window = self.first()
            self.assertIn("did not answer", "\n".join(late.stderr_lines))
            # Now the one that answers later starts.
            self.assertEqual(self.second().returncode, 0)
            self.assertEqual(self.windows(late), [late_window])
        finally:
            os.killpg(shell.proc.pid, signal.SIGCONT)
        # The hung one, when it ends, leaves the socket of the one that replaced it.
        shell.proc.terminate()
        self.assertEqual(shell.wait(), 0)
        self.assertIn("already running", self.second().stdout)


if __name__ == "__main__":
    unittest.main()
