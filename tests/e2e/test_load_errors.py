"""Failed loads: the error page, its escaping, and aborted loads."""

import os
import time
import unittest

from harness import ShellTestCase, closed_port, decode_data_url, wait_for


class ErrorPageTest(ShellTestCase):
    def error_page(self, shell):
        hook = self.wait_hook(shell, "onLoadStart main=1 url=data:")[0]
        return decode_data_url(hook.split(" url=", 1)[1])

    def test_closed_port_shows_the_error_page(self):
        url = "http://127.0.0.1:%d/" % closed_port()
        shell = self.start("--url=" + url)
        html = self.error_page(shell)
        self.assertEqual(html, '<html><body bgcolor="white"><h2>Failed to load URL ' + url +
                         ' with error ERR_CONNECTION_REFUSED (-102).</h2></body></html>')
        (window,) = self.wait_windows(shell, 1)
        self.close_window(window)
        self.assertEqual(shell.wait(), 0)

    def test_urls_the_engine_refuses_show_the_error_page_with_their_code(self):
        cases = [  # (URL, the URL as reported, the error and its code)
            ("http://127.0.0.1:9/", "http://127.0.0.1:9/", "ERR_UNSAFE_PORT (-312)"),
            ("http://0.0.0.0:%d/" % closed_port(), None, "ERR_ADDRESS_INVALID (-108)"),
        ]
        for url, reported, error in cases:
            with self.subTest(url=url):
                shell = self.start("--url=" + url)
                html = self.error_page(shell)
                self.assertIn(" with error %s.</h2>" % error, html)
                if reported:
                    self.assertIn("Failed to load URL %s with" % reported, html)
                self.wait_hook(shell, "onLoadEnd status=200 url=data:")
                # The empty page the engine put in its place is no load of its own.
                self.assertEqual([h for h in shell.hooks() if "about:blank" in h], [])
                shell.kill()

    def test_markup_in_a_failed_url_is_shown_as_text(self):
        # WebKit keeps '<' raw in URLs of unknown schemes: unescaped, this markup would run
        # script in a page that has the native bridge.
        beacon = "new Image().src='%s/injected'" % self.server.origin
        url = "qvexx:<img src=x onerror=\"%s\">&'" % beacon
        shell = self.start("--url=" + url)
        html = self.error_page(shell)
        self.assertEqual(html, '<html><body bgcolor="white"><h2>Failed to load URL '
                         'qvexx:&lt;img src=x onerror=&quot;' + beacon.replace("'", "&#39;") +
                         '&quot;&gt;&amp;&#39; with error ERR_UNKNOWN_URL_SCHEME (-302).'
                         '</h2></body></html>')
        self.wait_hook(shell, "onLoadEnd status=200 url=data:")
        time.sleep(0.5)  # Time for an injected image error handler to have fired.
        self.assertEqual(self.server.requested("/injected"), [])

    def test_quotes_and_ampersands_in_a_file_url_are_escaped(self):
        url = "file://" + os.path.join(self.tmp, "it's&gone.html")
        shell = self.start("--url=" + url)
        html = self.error_page(shell)
        self.assertIn("it&#39;s&amp;gone.html with error ERR_FILE_NOT_FOUND (-6).", html)

    def test_crafted_failing_urls_show_literally_and_run_nothing(self):
        beacon = "<img src=x onerror=\"new Image().src='%s/injected'\">" % self.server.origin
        port = closed_port()
        cases = [
            "http://127.0.0.1:%d/%s" % (port, beacon),                 # markup in the path
            "http://127.0.0.1:%d/p?q=%s" % (port, beacon),             # ... in the query
            "http://127.0.0.1:%d/p#%s" % (port, beacon),               # ... in the fragment
            "qvexx:%s" % beacon,                                       # unknown scheme
            "file://%s/%s.html" % (self.tmp, beacon.replace("/", "")),  # file: path
            "http://127.0.0.1:%d/%s" % (port, "x" * 100000 + beacon),  # very long
        ]
        for url in cases:
            with self.subTest(url=url[:80]):
                shell = self.start("--url=" + url)
                html = self.error_page(shell)
                body = html[len('<html><body bgcolor="white"><h2>'):-len("</h2></body></html>")]
                self.assertNotIn("<", body)
                self.assertNotIn(">", body)
                shown = (body.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"')
                         .replace("&#39;", "'").replace("&amp;", "&"))
                self.assertTrue(shown.startswith("Failed to load URL "), shown[:80])
                self.wait_hook(shell, "onLoadEnd status=200 url=data:")
                shell.kill()
        time.sleep(0.5)
        self.assertEqual(self.server.requested("/injected"), [])

    def test_aborted_load_shows_no_error_page(self):
        self.server.add_page("/start.html", """<html><body><script>
location.href = '/slow?s=5';
setTimeout(function () { location.href = '/done.html'; }, 500);
</script></body></html>""")
        self.server.add_page("/done.html", "<html><head><script src='/report.js'></script>"
                                           "</head><body><script>report('done', 1)</script>"
                                           "</body></html>")
        shell = self.start("--url=" + self.url("/start.html"))
        self.wait_report("done")
        self.wait_hook(shell, "onLoadEnd status=200 url=" + self.url("/done.html"))
        self.assertEqual([h for h in shell.hooks("onLoadStart") if "url=data:" in h], [])


if __name__ == "__main__":
    unittest.main()
