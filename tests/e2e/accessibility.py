"""A private session bus with the accessibility bus on it, and a real AT-SPI client that reads
what a program shows to screen readers (run as a child: pyatspi binds to the bus it finds at
import)."""

import json
import os
import signal
import subprocess
import time

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

# Prints [[role, name], ...] for every accessible under the application of the given process id,
# in tree order (a menu's entries in their order).
_READ_TREE = r"""
import json, sys
import pyatspi
pid = int(sys.argv[1])
found = []
def walk(node, depth):
    if node is None or depth > 40:
        return
    try:
        found.append([node.getRoleName(), node.name or ""])
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), depth + 1)
    except Exception:
        pass
desktop = pyatspi.Registry.getDesktop(0)
for i in range(desktop.childCount):
    app = desktop.getChildAtIndex(i)
    try:
        if app is not None and app.get_process_id() == pid:
            found.append(["application", app.name or ""])
            for j in range(app.childCount):
                walk(app.getChildAtIndex(j), 1)
    except Exception:
        pass
print(json.dumps(found))
"""


class AccessibilityBus:
    """Use as a context manager; `environment` is what a program needs to join the bus."""

    def __enter__(self):
        self._daemon = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, text=True, start_new_session=True)
        address = self._daemon.stdout.readline().strip()
        self.environment = {"DBUS_SESSION_BUS_ADDRESS": address, "NO_AT_BRIDGE": None,
                            "GTK_A11Y": None}
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address)
        self._launcher = subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"], env=env,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                          start_new_session=True)
        self._env = env
        return self

    def __exit__(self, *exc):
        for proc in (self._launcher, self._daemon):
            try:
                os.killpg(proc.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            proc.wait(timeout=10)

    def tree(self, pid):
        """[(role, name), ...] of the process's accessibles, [] before it has joined."""
        out = subprocess.run(["/usr/bin/python3", "-c", _READ_TREE, str(pid)], env=self._env,
                             capture_output=True, text=True, timeout=30)
        return [tuple(item) for item in json.loads(out.stdout or "[]")]

    def wait_tree(self, pid, predicate, timeout=20.0):
        deadline = time.monotonic() + timeout
        tree = []
        while time.monotonic() < deadline:
            tree = self.tree(pid)
            if predicate(tree):
                return tree
            time.sleep(0.2)
        raise AssertionError("accessibility tree never matched: %r" % (tree[:60],))
