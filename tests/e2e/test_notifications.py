"""Notifications of an app's own pages go to the desktop's notification server with the app's
name and icon; a click runs the page's handler and brings the window forward. Without a
server nothing breaks; other permissions stay denied, each with a line."""

import json
import os
import subprocess
import unittest

from harness import ShellTestCase, png, wait_for

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tools", "notification_server.py")
PAGE = """<html><head><title>Notes</title><script src='/report.js'></script></head><body><script>
report('permission', Notification.permission);
var n = new Notification('Hello', {body: 'World'});
n.onshow = function () { report('shown', 'yes'); };
n.onclick = function () { report('clicked', 'yes'); };
navigator.geolocation.getCurrentPosition(function () { report('location', 'granted'); },
                                         function (e) { report('location', 'denied'); });
</script></body></html>"""


class NotificationsTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.server.add_page("/notes", PAGE)
        self.project = self.make_project(
            '{"id": "dev.example.notes", "name": "Notes App", "icon": "icon.png"}',
            {"icon.png": png(32, 32)})
        self.log = os.path.join(self.tmp, "notified.jsonl")
        self.click = os.path.join(self.tmp, "click")

    def start_server(self, bus):
        server = subprocess.Popen(["/usr/bin/python3", SERVER, self.log, self.click],
                                  env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus))
        self.addCleanup(lambda: (server.terminate(), server.wait()))
        wait_for(lambda: os.path.exists(self.log), what="the notification server")

    def notified(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f if line.strip()]

    def test_shown_by_the_desktop_with_the_apps_name_and_clicked(self):
        bus = self.session_bus()
        self.start_server(bus)
        shell = self.start("--url=" + self.url("/notes"), project=self.project, variant=False,
                           env=self.app_env(DBUS_SESSION_BUS_ADDRESS=bus))
        window = self.wait_windows(shell, 1)[0]
        self.assertEqual(self.wait_report("permission"), ["granted"])
        self.assertEqual(self.wait_report("location"), ["denied"])
        shown = wait_for(self.notified, what="a notification")[0]
        self.assertEqual((shown["app"], shown["summary"], shown["body"], shown["desktop_entry"]),
                         ("Notes App", "Hello", "World", "dev.example.notes"))
        self.assertEqual(shown["icon"], "file://" + os.path.join(self.project, "icon.png"))
        self.assertIn("default", shown["actions"])
        root = int(self.x("xwininfo", "-root").split("Window id: ")[1].split()[0], 16)
        self.x("xdotool", "windowfocus", str(root))
        with open(self.click, "w") as f:
            f.write(str(shown["id"]))
        self.assertEqual(self.wait_report("clicked"), ["yes"])
        wait_for(lambda: int(self.x("xdotool", "getwindowfocus").strip()) == window,
                 what="the window brought forward")
        denied = [l for l in shell.stderr_lines if "permission denied: location for " +
                  self.server.origin in l]
        self.assertEqual(len(denied), 1, shell.stderr_lines)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_without_a_notification_server_one_line_and_nothing_breaks(self):
        for bus in (self.session_bus(), None):  # A bus without the server; no bus at all.
            with self.subTest(bus=bool(bus)):
                shell = self.start("--url=" + self.url("/notes"), project=self.project,
                                   variant=False, env=self.app_env(DBUS_SESSION_BUS_ADDRESS=bus))
                window = self.wait_windows(shell, 1)[0]
                self.wait_report("location", count=1 + (bus is None))
                wait_for(lambda: [l for l in shell.stderr_lines
                                  if "notifications are not shown" in l], what="the line")
                self.close_window(window)
                self.assertEqual(shell.wait(), 0)
                said = [l for l in shell.stderr_lines if "notifications are not shown" in l]
                self.assertEqual(len(said), 1, said)


if __name__ == "__main__":
    unittest.main()
