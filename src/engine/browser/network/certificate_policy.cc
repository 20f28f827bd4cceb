// CertificatePolicy: the context's TLS errors policy, and the certificates of loopback servers
// fetched and accepted per host before navigations reach them. UI thread; the fetch's callbacks
// run on the UI thread's main context.
#include "browser/network/certificate_policy.h"

#include <gio/gio.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "browser/browser_impl.h"
#include "common/scoped_gobject.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// A loopback server should answer at once; a stuck one holds its navigations no longer.
constexpr guint kFetchTimeoutSeconds = 10;

// One fetch of a server's certificate, and the navigations waiting for it.
struct Fetch {
  std::string host;  // As GLib gives it: "::1" without brackets.
  std::vector<ScopedGObject<WebKitPolicyDecision>> waiting;
  ScopedGObject<GTlsCertificate> certificate;  // Once the server sent one.
};

WebKitWebContext* g_context = nullptr;
bool g_accept_loopback = false;
std::map<std::string, std::unique_ptr<Fetch>> g_fetching;  // By "host:port".
std::set<std::string> g_accepted;                          // "host:port" seen this run.

// "host:port" of an https URL whose host names loopback; empty for every other URL.
std::string LoopbackServerOf(const char* url, std::string* host) {
  if (!url || g_ascii_strncasecmp(url, "https:", 6) != 0) return std::string();
  g_autoptr(GUri) uri = g_uri_parse(url, G_URI_FLAGS_NONE, nullptr);
  const char* uri_host = uri ? g_uri_get_host(uri) : nullptr;
  if (!uri_host || !CertificatePolicy::IsLoopbackHost(uri_host)) return std::string();
  *host = uri_host;
  const int port = g_uri_get_port(uri) > 0 ? g_uri_get_port(uri) : 443;
  const bool ipv6 = host->find(':') != std::string::npos;
  return (ipv6 ? "[" + *host + "]" : *host) + ":" + std::to_string(port);
}

gboolean OnAcceptCertificate(GTlsConnection*, GTlsCertificate* certificate,
                             GTlsCertificateFlags, Fetch* fetch) {
  if (!fetch->certificate) fetch->certificate = ScopedGObject<GTlsCertificate>::Ref(certificate);
  return TRUE;  // Only to read it: this connection carries nothing.
}

void OnClientEvent(GSocketClient*, GSocketClientEvent event, GSocketConnectable*,
                   GIOStream* connection, Fetch* fetch) {
  CEF_REQUIRE_UI_THREAD();
  if (event == G_SOCKET_CLIENT_TLS_HANDSHAKING && G_IS_TLS_CONNECTION(connection))
    g_signal_connect(connection, "accept-certificate", G_CALLBACK(OnAcceptCertificate), fetch);
}

void OnConnected(GObject* source, GAsyncResult* result, gpointer data) {
  CEF_REQUIRE_UI_THREAD();
  std::unique_ptr<std::string> server(static_cast<std::string*>(data));
  g_autoptr(GError) error = nullptr;
  g_autoptr(GSocketConnection) connection =
      g_socket_client_connect_to_host_finish(G_SOCKET_CLIENT(source), result, &error);
  auto it = g_fetching.find(*server);
  if (it == g_fetching.end()) return;
  std::unique_ptr<Fetch> fetch = std::move(it->second);
  g_fetching.erase(it);
  if (connection) g_accepted.insert(*server);
  if (fetch->certificate) {
    // WebKit compares the host as its URL has it; an IPv6 one has its brackets there.
    webkit_web_context_allow_tls_certificate_for_host(g_context, fetch->certificate.get(),
                                                      fetch->host.c_str());
    if (fetch->host.find(':') != std::string::npos) {
      webkit_web_context_allow_tls_certificate_for_host(
          g_context, fetch->certificate.get(), ("[" + fetch->host + "]").c_str());
    }
  }
  // The navigations go on; one to a server that did not answer fails as it would have.
  for (const ScopedGObject<WebKitPolicyDecision>& decision : fetch->waiting)
    webkit_policy_decision_use(decision.get());
}

// Holds `decision` until the certificate of `server` is known.
void FetchThenUse(const std::string& server, const std::string& host,
                  WebKitPolicyDecision* decision) {
  auto it = g_fetching.find(server);
  if (it != g_fetching.end()) {
    it->second->waiting.push_back(ScopedGObject<WebKitPolicyDecision>::Ref(decision));
    return;
  }
  auto fetch = std::make_unique<Fetch>();
  fetch->host = host;
  fetch->waiting.push_back(ScopedGObject<WebKitPolicyDecision>::Ref(decision));
  g_autoptr(GSocketClient) client = g_socket_client_new();
  g_socket_client_set_tls(client, TRUE);
  g_socket_client_set_timeout(client, kFetchTimeoutSeconds);
  g_signal_connect(client, "event", G_CALLBACK(OnClientEvent), fetch.get());
  g_fetching[server] = std::move(fetch);
  g_socket_client_connect_to_host_async(client, server.c_str(), 443, nullptr, OnConnected,
                                        new std::string(server));
}

gboolean OnDecidePolicy(WebKitWebView* web_view, WebKitPolicyDecision* decision,
                        WebKitPolicyDecisionType type, BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  if (!g_accept_loopback || type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  std::string host;
  const std::string server =
      LoopbackServerOf(request ? webkit_uri_request_get_uri(request) : nullptr, &host);
  if (server.empty() || g_accepted.count(server)) return FALSE;
  FetchThenUse(server, host, decision);
  return TRUE;
}

}  // namespace

bool CertificatePolicy::IsLoopbackHost(const std::string& host) {
  std::string bare = host;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']')
    bare = bare.substr(1, bare.size() - 2);
  if (g_ascii_strcasecmp(bare.c_str(), "localhost") == 0) return true;
  g_autoptr(GInetAddress) address = g_inet_address_new_from_string(bare.c_str());
  if (!address) return false;
  if (g_inet_address_get_family(address) == G_SOCKET_FAMILY_IPV4)
    return g_inet_address_to_bytes(address)[0] == 127;
  return g_inet_address_get_is_loopback(address) != FALSE;  // ::1
}

void CertificatePolicy::SetUp(WebKitWebContext* context, bool accept_loopback) {
  g_context = context;
  g_accept_loopback = accept_loopback;
  webkit_website_data_manager_set_tls_errors_policy(
      webkit_web_context_get_website_data_manager(context), WEBKIT_TLS_ERRORS_POLICY_FAIL);
}

void CertificatePolicy::Attach(BrowserImpl* browser) {
  g_signal_connect(browser->web_view(), "decide-policy", G_CALLBACK(OnDecidePolicy), browser);
}

void CertificatePolicy::Rejected(const char* uri) {
  std::string host;
  const std::string server = LoopbackServerOf(uri, &host);
  if (!server.empty()) g_accepted.erase(server);
}

}  // namespace qvex_engine
