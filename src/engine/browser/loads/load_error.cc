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

}  // namespace

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
