"""Downloads: saved in the user's download folder under names of their own; an existing file
is never touched; a failed download leaves nothing; the page stays."""

import hashlib
import http.server
import os
import threading
import time
import urllib.parse

from harness import ShellTestCase, wait_for

# Starts every kind of download at once, then reports that it is still the page shown.
PAGE = """<html><head><title>Downloads</title><script src="/report.js"></script></head><body>
<script>
function save(href, name) {
  var a = document.createElement('a');
  a.href = href;
  if (name !== undefined) a.download = name;
  document.body.appendChild(a);
  a.click();
}
function frame(src) {
  var f = document.createElement('iframe');
  f.src = src;
  document.body.appendChild(f);
}
window.onload = function () {
  frame('{{FILES}}/attach?name=report.txt&body=second');      // Taken: numbered.
  frame('{{FILES}}/attach?name=report.txt&body=third');
  frame('{{FILES}}/attach?name=link.txt&body=not-through-the-link');
  frame('{{FILES}}/attach?name=..%2F..%2Fevil.sh&body=evil');   // Hostile name.
  frame('{{FILES}}/drop');                                     // Fails half-way.
  // One at a time: a download through a link is a navigation, and the next one would cancel it.
  save(URL.createObjectURL(new Blob(['blob-data'])), '.hidden\\u202etxt.exe');
  setTimeout(function () { save('data:text/plain,data-url', 'from data.txt'); }, 300);
  setTimeout(function () { location.href = '/binary.bin'; }, 600);  // Main frame, unshown type.
  setInterval(function () { report('still', location.pathname); }, 500);
};
</script></body></html>"""


class FileHandler(http.server.BaseHTTPRequestHandler):
    """Answers attachments (/attach?name=N&body=B) and a download whose connection drops."""

    def log_message(self, *args):
        pass

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = urllib.parse.parse_qs(url.query)
        if url.path == "/attach":
            body = q["body"][0].encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Disposition",
                             "attachment; filename*=UTF-8''" + urllib.parse.quote(q["name"][0]))
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
        elif url.path == "/drop":
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Disposition", "attachment; filename=dropped.bin")
            self.send_header("Content-Length", "1000000")
            self.end_headers()
            self.wfile.write(b"x" * 5000)
            self.wfile.flush()
            time.sleep(0.5)
            self.connection.shutdown(2)  # Half the promised bytes: the download fails.


def listing(folder):
    result = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.islink(path):
            result[name] = "-> " + os.readlink(path)
        elif os.path.isdir(path):
            result[name] = "<dir>"
        else:
            with open(path, "rb") as f:
                result[name] = f.read()
    return result


class DownloadTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        self.files = http.server.ThreadingHTTPServer(("127.0.0.1", 0), FileHandler)
        self.files.daemon_threads = True
        threading.Thread(target=self.files.serve_forever, daemon=True).start()
        self.home = os.path.join(self.tmp, "home")
        self.config = os.path.join(self.tmp, "config")
        os.makedirs(self.home)
        os.makedirs(self.config)

    def tearDown(self):
        self.files.shutdown()
        self.files.server_close()
        super().tearDown()

    def run_shell(self, expect_saved, expect_failed):
        files = "http://127.0.0.1:%d" % self.files.server_address[1]
        self.server.add_page("/page.html", PAGE.replace("{{FILES}}", files))
        self.server.add_page("/binary.bin", b"\x00\x01binary", "application/octet-stream")
        env = {"HOME": self.home, "XDG_CONFIG_HOME": self.config,
               "XDG_DATA_HOME": os.path.join(self.tmp, "data"),
               "XDG_CACHE_HOME": os.path.join(self.tmp, "cache")}
        shell = self.start("--url=" + self.url("/page.html"), env=env)

        def lines(text):
            return [l for l in shell.stderr_lines if text in l]
        try:
            wait_for(lambda: len(lines("download saved:")) >= expect_saved and
                     len(lines("download failed:")) >= expect_failed, timeout=60,
                     what="downloads")
        except AssertionError as e:
            raise AssertionError("%s; stderr:\n%s" % (e, "\n".join(shell.stderr_lines)))
        # The page was never replaced: a download is not a navigation.
        self.wait_report("still", count=2)
        self.assertEqual(set(self.server.values("still")), {"/page.html"})
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(timeout=30), 0)
        return shell

    def test_existing_files_stay_and_every_download_gets_a_name_of_its_own(self):
        folder = os.path.join(self.home, "Incoming")
        os.makedirs(folder)
        with open(os.path.join(self.config, "user-dirs.dirs"), "w") as f:
            f.write('XDG_DOWNLOAD_DIR="$HOME/Incoming"\n')
        original = os.urandom(4096)
        with open(os.path.join(folder, "report.txt"), "wb") as f:
            f.write(original)
        outside = os.path.join(self.tmp, "outside.txt")  # A link's target must never appear.
        os.symlink(outside, os.path.join(folder, "link.txt"))

        shell = self.run_shell(expect_saved=7, expect_failed=1)
        found = listing(folder)
        self.assertEqual(hashlib.sha256(found.pop("report.txt")).hexdigest(),
                         hashlib.sha256(original).hexdigest())
        self.assertEqual(found.pop("link.txt"), "-> " + outside)
        self.assertFalse(os.path.exists(outside))
        self.assertEqual({found.pop("report (1).txt"), found.pop("report (2).txt")},
                         {b"second", b"third"})
        self.assertEqual(found, {
            "link (1).txt": b"not-through-the-link",
            "evil.sh": b"evil",  # WebKit keeps the last component; ours would be "_._evil.sh".
            "hidden_txt.exe": b"blob-data",
            "from data.txt": b"data-url",
            "binary.bin": b"\x00\x01binary",
        })  # Nothing of the dropped download, no partial folder.
        failed = [l for l in shell.stderr_lines if "download failed:" in l]
        self.assertEqual(len(failed), 1)
        self.assertIn("/drop", failed[0])
        self.assertFalse(os.path.exists(os.path.join(self.home, "Downloads")))

    def test_home_as_download_folder_means_a_downloads_folder_in_it(self):
        with open(os.path.join(self.config, "user-dirs.dirs"), "w") as f:
            f.write('XDG_DOWNLOAD_DIR="$HOME/"\n')
        self.run_shell(expect_saved=7, expect_failed=1)
        folder = os.path.join(self.home, "Downloads")
        self.assertEqual(sorted(listing(folder)), sorted([
            "report.txt", "report (1).txt", "link.txt", "evil.sh", "hidden_txt.exe",
            "from data.txt", "binary.bin"]))
        self.assertEqual(sorted(n for n in os.listdir(self.home) if not n.startswith(".")),
                         ["Downloads"])


if __name__ == "__main__":
    import unittest
    unittest.main()
