// GError (domain, code) -> cef_errorcode_t.
#include "browser/loads/load_error.h"

#include <gio/gio.h>
#include <webkit2/webkit2.h>

namespace qvex_engine {

namespace {

const char* NameOf(cef_errorcode_t code) {
  switch (code) {
    case ERR_ABORTED: return "ERR_ABORTED";
    case ERR_FILE_NOT_FOUND: return "ERR_FILE_NOT_FOUND";
    case ERR_TIMED_OUT: return "ERR_TIMED_OUT";
    case ERR_ACCESS_DENIED: return "ERR_ACCESS_DENIED";
    case ERR_CONNECTION_RESET: return "ERR_CONNECTION_RESET";
    case ERR_CONNECTION_REFUSED: return "ERR_CONNECTION_REFUSED";
    case ERR_CONNECTION_CLOSED: return "ERR_CONNECTION_CLOSED";
    case ERR_NAME_NOT_RESOLVED: return "ERR_NAME_NOT_RESOLVED";
    case ERR_ADDRESS_UNREACHABLE: return "ERR_ADDRESS_UNREACHABLE";
    case ERR_UNKNOWN_URL_SCHEME: return "ERR_UNKNOWN_URL_SCHEME";
    case ERR_DISALLOWED_URL_SCHEME: return "ERR_DISALLOWED_URL_SCHEME";
    case ERR_CERT_COMMON_NAME_INVALID: return "ERR_CERT_COMMON_NAME_INVALID";
    case ERR_CERT_DATE_INVALID: return "ERR_CERT_DATE_INVALID";
    case ERR_CERT_AUTHORITY_INVALID: return "ERR_CERT_AUTHORITY_INVALID";
    case ERR_CERT_REVOKED: return "ERR_CERT_REVOKED";
    case ERR_CERT_INVALID: return "ERR_CERT_INVALID";
    case ERR_CERT_WEAK_SIGNATURE_ALGORITHM: return "ERR_CERT_WEAK_SIGNATURE_ALGORITHM";
    case ERR_INVALID_URL: return "ERR_INVALID_URL";
    case ERR_UNSAFE_PORT: return "ERR_UNSAFE_PORT";
    case ERR_ADDRESS_INVALID: return "ERR_ADDRESS_INVALID";
    default: return nullptr;
  }
}

cef_errorcode_t CodeOf(const GError* e) {
  if (e->domain == G_IO_ERROR) {
    switch (e->code) {
      case G_IO_ERROR_CONNECTION_REFUSED: return ERR_CONNECTION_REFUSED;
      case G_IO_ERROR_NOT_FOUND: return ERR_FILE_NOT_FOUND;
      case G_IO_ERROR_TIMED_OUT: return ERR_TIMED_OUT;
      case G_IO_ERROR_PERMISSION_DENIED: return ERR_ACCESS_DENIED;
      case G_IO_ERROR_HOST_UNREACHABLE:
      case G_IO_ERROR_NETWORK_UNREACHABLE: return ERR_ADDRESS_UNREACHABLE;
      case G_IO_ERROR_BROKEN_PIPE: return ERR_CONNECTION_CLOSED;
      case G_IO_ERROR_CANCELLED: return ERR_ABORTED;
      default: return ERR_FAILED;
    }
  }
  if (e->domain == G_RESOLVER_ERROR) return ERR_NAME_NOT_RESOLVED;
  if (e->domain == WEBKIT_NETWORK_ERROR) {
    switch (e->code) {
      case WEBKIT_NETWORK_ERROR_CANCELLED: return ERR_ABORTED;
      case WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST: return ERR_FILE_NOT_FOUND;
      case WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL: return ERR_UNKNOWN_URL_SCHEME;
      default: return ERR_FAILED;
    }
  }
  if (e->domain == WEBKIT_POLICY_ERROR) {
    switch (e->code) {
      // A navigation turned into a download, or cancelled by a policy decision.
      case WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE: return ERR_ABORTED;
      case WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI: return ERR_UNKNOWN_URL_SCHEME;
      default: return ERR_FAILED;
    }
  }
  return ERR_FAILED;
}

// The ports browsers refuse to connect to, whatever the scheme (services that would take a
// page's request for one of their own commands).
constexpr int kRestrictedPorts[] = {
    1,    7,    9,    11,   13,   15,   17,   19,   20,   21,   22,   23,   25,   37,   42,
    43,   53,   69,   77,   79,   87,   95,   101,  102,  103,  104,  109,  110,  111,  113,
    115,  117,  119,  123,  135,  137,  139,  143,  161,  179,  389,  427,  465,  512,  513,
    514,  515,  526,  530,  531,  532,  540,  548,  554,  556,  563,  587,  601,  636,  989,
    990,  993,  995,  1719, 1720, 1723, 2049, 3659, 4045, 5060, 5061, 6000, 6566, 6665, 6666,
    6667, 6668, 6669, 6697, 10080};

bool RestrictedPort(int port) {
  for (int restricted : kRestrictedPorts)
    if (port == restricted) return true;
  return false;
}

}  // namespace

LoadError MapRefusedLoad(const std::string& url) {
  cef_errorcode_t code = ERR_FAILED;
  GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (uri) {
    const char* host = g_uri_get_host(uri);
    if (host && (g_strcmp0(host, "0.0.0.0") == 0 || g_strcmp0(host, "::") == 0))
      code = ERR_ADDRESS_INVALID;
    else if (RestrictedPort(g_uri_get_port(uri)))
      code = ERR_UNSAFE_PORT;
    g_uri_unref(uri);
  }
  return {code, code == ERR_FAILED ? "ERR_FAILED" : NameOf(code)};
}

LoadError MapTlsErrors(GTlsCertificateFlags errors) {
  // One code for several problems: the most serious, in Chromium's order.
  cef_errorcode_t code = ERR_CERT_INVALID;
  if (errors & G_TLS_CERTIFICATE_GENERIC_ERROR) code = ERR_CERT_INVALID;
  else if (errors & G_TLS_CERTIFICATE_REVOKED) code = ERR_CERT_REVOKED;
  else if (errors & G_TLS_CERTIFICATE_UNKNOWN_CA) code = ERR_CERT_AUTHORITY_INVALID;
  else if (errors & G_TLS_CERTIFICATE_BAD_IDENTITY) code = ERR_CERT_COMMON_NAME_INVALID;
  else if (errors & G_TLS_CERTIFICATE_INSECURE) code = ERR_CERT_WEAK_SIGNATURE_ALGORITHM;
  else if (errors & (G_TLS_CERTIFICATE_EXPIRED | G_TLS_CERTIFICATE_NOT_ACTIVATED))
    code = ERR_CERT_DATE_INVALID;
  return {code, NameOf(code)};
}

LoadError MapLoadError(const GError* error) {
  if (!error) return {ERR_FAILED, "ERR_FAILED"};
  cef_errorcode_t code = CodeOf(error);
  const char* name = NameOf(code);
  return {code, name ? name : (error->message ? error->message : "ERR_FAILED")};
}

}  // namespace qvex_engine
