"""TLS certificates: with ignore_certificate_errors on, a self-signed certificate is accepted
for a host the URL names as loopback and for no other; with it off, for none. Every byte stays
on 127.0.0.1: the other name is this machine's host name, which /etc/hosts maps there."""

import http.server
import os
import socket
import ssl
import subprocess
import threading
import time
import unittest

from harness import ShellTestCase, decode_data_url, wait_for

HOST_NAME = socket.gethostname()


def resolves_to_loopback(name):
    try:
        return all(info[4][0].startswith("127.") for info in socket.getaddrinfo(name, None,
                                                                                 socket.AF_INET))
    except OSError:
        return False


class TlsHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.requests.append(self.path)
        body = self.server.pages.get(self.path.split("?")[0], "ok").encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html" if body.startswith(b"<") else "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Access-Control-Allow-Origin", "*")
        self.end_headers()
        self.wfile.write(body)


# A page whose script announces itself to the server it came from: a request for /ran means
# the page's script ran.
PAGE = "<html><body><script>fetch('/ran?' + location.host);</script>tls page</body></html>"


@unittest.skipUnless(resolves_to_loopback(HOST_NAME), "the host name must resolve to 127.x")
class CertificateTest(ShellTestCase):
    def setUp(self):
        super().setUp()
        cert, key = os.path.join(self.tmp, "cert.pem"), os.path.join(self.tmp, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-keyout", key, "-out", cert, "-subj", "/CN=127.0.0.1",
                        "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"],
                       check=True, capture_output=True)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        self.tls = http.server.ThreadingHTTPServer(("127.0.0.1", 0), TlsHandler)
        self.tls.daemon_threads = True
        self.tls.requests, self.tls.pages = [], {"/page.html": PAGE}
        self.tls.socket = context.wrap_socket(self.tls.socket, server_side=True)
        threading.Thread(target=self.tls.serve_forever, daemon=True).start()
        self.port = self.tls.server_address[1]

    def tearDown(self):
        self.tls.shutdown()
        self.tls.server_close()
        super().tearDown()

    def tls_url(self, host, path="/page.html"):
        return "https://%s:%d%s" % (host, self.port, path)

    def outcome(self, url, ignore_errors=True):
        """"loaded" when the page's script ran, else the error page's text."""
        shell = self.start("--url=" + url, env={
            "QVEX_TEST_IGNORE_CERTIFICATE_ERRORS": "1" if ignore_errors else "0"})
        hook = self.wait_hook(shell, "onLoadEnd status=")[0]
        url_shown = hook.split(" url=", 1)[1]
        if url_shown.startswith("data:"):
            shell.kill()
            return decode_data_url(url_shown)
        ran = "/ran?" + url.split("/")[2]
        try:
            # The shell lives until then: its fetch may still be on its way at the load's end.
            return wait_for(lambda: ran in self.tls.requests and "loaded", 5, what=ran)
        except AssertionError:
            return "no script"
        finally:
            shell.kill()

    def test_only_loopback_names_may_have_a_bad_certificate(self):
        refused = ('<html><body bgcolor="white"><h2>Failed to load URL %s with error '
                   'ERR_CERT_AUTHORITY_INVALID (-202).</h2></body></html>')
        cases = [
            # (host, ignore_certificate_errors, outcome)
            ("127.0.0.1", True, "loaded"),
            ("localhost", True, "loaded"),
            (HOST_NAME, True, refused),   # a name that resolves to loopback is not loopback
            ("127.0.0.1", False, refused),  # the setting off: every host is checked
        ]
        for host, ignore_errors, expected in cases:
            with self.subTest(host=host, ignore_errors=ignore_errors):
                url = self.tls_url(host)
                result = self.outcome(url, ignore_errors)
                self.assertEqual(result, expected % url if "%s" in expected else expected)
        # No script of a refused page ran.
        time.sleep(0.5)
        self.assertEqual([r for r in self.tls.requests if r.startswith("/ran?" + HOST_NAME)], [])

    def test_a_frame_and_a_resource_with_a_bad_certificate_fail_alone(self):
        bad_frame, good_frame = self.tls_url(HOST_NAME, "/f"), self.tls_url("127.0.0.1", "/f")
        self.tls.pages["/f"] = PAGE
        self.server.add_page("/host.html", """<html><head><script src="/report.js"></script>
</head><body><iframe src="%s"></iframe><iframe src="%s"></iframe><script>
fetch('%s').then(function () { report('fetch', 'ok'); },
                 function () { report('fetch', 'failed'); });
window.onload = function () { report('host', 'loaded'); };
</script></body></html>""" % (bad_frame, good_frame, self.tls_url(HOST_NAME, "/data")))
        shell = self.start("--url=" + self.url("/host.html"))
        self.assertEqual(self.wait_report("fetch"), ["failed"])
        self.assertEqual(self.wait_report("host"), ["loaded"])
        # The loopback frame's script ran (its fetch may still be on its way at the host's load);
        # the other frame's never reached the server.
        ran = "/ran?127.0.0.1:%d" % self.port
        wait_for(lambda: ran in self.tls.requests, 5, what=ran)
        self.assertNotIn("/data", self.tls.requests)
        self.assertEqual([r for r in self.tls.requests if HOST_NAME in r], [])
        self.wait_hook(shell, "onLoadEnd status=200 url=" + self.url("/host.html"))


if __name__ == "__main__":
    unittest.main()
