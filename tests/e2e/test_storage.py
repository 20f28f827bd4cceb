"""Where pages' storage lives: in memory unless a cache path is set, never under the user's
home."""

import os
import unittest

from harness import ShellTestCase

# Writes every kind of storage a page has, then reports; or reads it back and reports what it
# found.
STORAGE_PAGE = """<html><head><title>Storage</title><script src='/report.js'></script></head>
<body><script>
var mode = location.search.slice(1);
function readAll(done) {
  var found = ['local=' + localStorage.getItem('k'),
               'cookie=' + (document.cookie.indexOf('c=1') >= 0)];
  var open = indexedDB.open('db', 1);
  open.onupgradeneeded = function () { open.result.createObjectStore('s'); };
  open.onsuccess = function () {
    var get = open.result.transaction('s').objectStore('s').get('k');
    get.onsuccess = function () { found.push('idb=' + get.result); done(found.join(' ')); };
  };
  open.onerror = function () { done(found.concat('idb=error').join(' ')); };
}
function writeAll(done) {
  localStorage.setItem('k', 'v');
  document.cookie = 'c=1; max-age=86400';
  var open = indexedDB.open('db', 1);
  open.onupgradeneeded = function () { open.result.createObjectStore('s'); };
  open.onsuccess = function () {
    var tx = open.result.transaction('s', 'readwrite');
    tx.objectStore('s').put('v', 'k');
    tx.oncomplete = function () { done('written'); };
  };
}
(mode === 'write' ? writeAll : readAll)(function (text) { report(mode, text); });
</script></body></html>"""


class StorageTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.home = os.path.join(self.tmp, "home")
        os.makedirs(self.home)
        self.server.add_page("/storage", STORAGE_PAGE)

    def run_once(self, mode, cache_path=None):
        env = {"HOME": self.home, "XDG_DATA_HOME": None, "XDG_CACHE_HOME": None,
               "XDG_CONFIG_HOME": None}
        if cache_path:
            env["QVEX_TEST_CACHE_PATH"] = cache_path
        shell = self.start("--url=" + self.url("/storage?" + mode), env=env)
        result = self.wait_report(mode, count=len(self.server.values(mode)) + 1)[-1]
        self.close_window(self.wait_windows(shell, 1)[0])
        self.assertEqual(shell.wait(), 0)
        return result

    def files_under(self, root):
        found = []
        for directory, _, names in os.walk(root):
            found += [os.path.relpath(os.path.join(directory, n), root) for n in names]
        # GLib's settings client keeps a flag file of its own there; it is not the engine's.
        return sorted(f for f in found if not f.startswith(".cache/dconf/"))

    def test_without_a_cache_path_nothing_outlives_the_run_or_lands_in_home(self):
        self.assertEqual(self.run_once("write"), "written")
        self.assertEqual(self.run_once("read"), "local=null cookie=false idb=undefined")
        self.assertEqual(self.files_under(self.home), [])

    def test_a_cache_path_keeps_storage_there(self):
        cache = os.path.join(self.tmp, "cache")
        self.assertEqual(self.run_once("write", cache), "written")
        self.assertEqual(self.run_once("read", cache), "local=v cookie=true idb=v")
        self.assertNotEqual(self.files_under(cache), [])
        self.assertEqual(self.files_under(self.home), [])


if __name__ == "__main__":
    unittest.main()
