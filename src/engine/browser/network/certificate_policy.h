// CertificatePolicy: which TLS certificates the shell accepts. Every host's certificate is
// verified; with ignore_certificate_errors set, a host that the URL names as loopback
// ("localhost", 127.0.0.0/8, [::1]) may have any certificate, which a local backend with a
// development certificate needs. No decision rests on name resolution. UI thread.
#ifndef QVEX_ENGINE_BROWSER_NETWORK_CERTIFICATE_POLICY_H_
#define QVEX_ENGINE_BROWSER_NETWORK_CERTIFICATE_POLICY_H_

#include <webkit2/webkit2.h>

#include <string>

namespace qvex_engine {

class BrowserImpl;

class CertificatePolicy {
 public:
  // Whether a URL's host (as WebKit or GLib give it: "127.0.0.1", "[::1]", "LocalHost") names
  // loopback by itself.
  static bool IsLoopbackHost(const std::string& host);
  // Makes verification failures fail the load for every host, and remembers whether loopback
  // hosts are exempt.
  static void SetUp(WebKitWebContext* context, bool accept_loopback);
  // WebKit verifies in its network process and can only be told which certificate to accept
  // for a host: before a navigation (any frame) to an https loopback server it has not seen, the
  // navigation waits while the server's certificate is fetched and accepted for its host.
  // Sub-resources of that host are covered from then on.
  static void Attach(BrowserImpl* browser);
  // A main-frame load of `uri` failed verification: a loopback server's certificate is fetched
  // again before the next navigation to it (it may have made a new one).
  static void Rejected(const char* uri);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_NETWORK_CERTIFICATE_POLICY_H_
