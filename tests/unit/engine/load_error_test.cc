// WebKit's load failures as CEF error codes.
#include "browser/loads/load_error.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <webkit2/webkit2.h>

namespace qvex_engine {
namespace {

TEST(LoadErrorTest, MapsTheErrorsTheShellMeets) {
  const struct {
    GQuark domain;
    int code;
    cef_errorcode_t expected;
    const char* text;
  } kCases[] = {
      {G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, ERR_CONNECTION_REFUSED, "ERR_CONNECTION_REFUSED"},
      {G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, ERR_NAME_NOT_RESOLVED, "ERR_NAME_NOT_RESOLVED"},
      {G_IO_ERROR, G_IO_ERROR_NOT_FOUND, ERR_FILE_NOT_FOUND, "ERR_FILE_NOT_FOUND"},
      // A load cancelled by a newer one must be ERR_ABORTED: no error page for it.
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED, ERR_ABORTED, "ERR_ABORTED"},
      {WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE,
       ERR_ABORTED, "ERR_ABORTED"},
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL, ERR_UNKNOWN_URL_SCHEME,
       "ERR_UNKNOWN_URL_SCHEME"},
      {WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST, ERR_FILE_NOT_FOUND,
       "ERR_FILE_NOT_FOUND"},
  };
  for (const auto& c : kCases) {
    GError* error = g_error_new_literal(c.domain, c.code, "message");
    LoadError mapped = MapLoadError(error);
    EXPECT_EQ(mapped.code, c.expected) << c.text;
    EXPECT_EQ(mapped.text, c.text);
    g_error_free(error);
  }
}

TEST(LoadErrorTest, UnknownErrorsFailWithTheirOwnMessage) {
  GError* error = g_error_new_literal(g_quark_from_static_string("elsewhere"), 7, "odd failure");
  LoadError mapped = MapLoadError(error);
  EXPECT_EQ(mapped.code, ERR_FAILED);
  EXPECT_EQ(mapped.text, "odd failure");
  g_error_free(error);
  EXPECT_EQ(MapLoadError(nullptr).code, ERR_FAILED);
}

TEST(LoadErrorTest, RefusedNavigationsGetTheCodeOfTheirRefusal) {
  const struct {
    const char* url;
    cef_errorcode_t expected;
    const char* text;
  } kCases[] = {
      {"http://127.0.0.1:9/", ERR_UNSAFE_PORT, "ERR_UNSAFE_PORT"},       // discard service
      {"https://example.test:6667/x", ERR_UNSAFE_PORT, "ERR_UNSAFE_PORT"},  // IRC
      {"http://0.0.0.0/", ERR_ADDRESS_INVALID, "ERR_ADDRESS_INVALID"},
      {"http://[::]:8080/", ERR_ADDRESS_INVALID, "ERR_ADDRESS_INVALID"},
      {"http://127.0.0.1:8080/", ERR_FAILED, "ERR_FAILED"},  // refused for another reason
      {"not a url", ERR_FAILED, "ERR_FAILED"},
  };
  for (const auto& c : kCases) {
    LoadError mapped = MapRefusedLoad(c.url);
    EXPECT_EQ(mapped.code, c.expected) << c.url;
    EXPECT_EQ(mapped.text, c.text) << c.url;
  }
}

TEST(LoadErrorTest, NamesTheMostSeriousCertificateProblem) {
  const struct {
    GTlsCertificateFlags errors;
    cef_errorcode_t expected;
  } kCases[] = {
      {G_TLS_CERTIFICATE_UNKNOWN_CA, ERR_CERT_AUTHORITY_INVALID},
      // Self-signed and reached by another name: the authority is what is wrong first.
      {GTlsCertificateFlags(G_TLS_CERTIFICATE_UNKNOWN_CA | G_TLS_CERTIFICATE_BAD_IDENTITY),
       ERR_CERT_AUTHORITY_INVALID},
      {G_TLS_CERTIFICATE_BAD_IDENTITY, ERR_CERT_COMMON_NAME_INVALID},
      {GTlsCertificateFlags(G_TLS_CERTIFICATE_EXPIRED | G_TLS_CERTIFICATE_BAD_IDENTITY),
       ERR_CERT_COMMON_NAME_INVALID},
      {G_TLS_CERTIFICATE_NOT_ACTIVATED, ERR_CERT_DATE_INVALID},
      {G_TLS_CERTIFICATE_EXPIRED, ERR_CERT_DATE_INVALID},
      {GTlsCertificateFlags(G_TLS_CERTIFICATE_REVOKED | G_TLS_CERTIFICATE_UNKNOWN_CA),
       ERR_CERT_REVOKED},
      {G_TLS_CERTIFICATE_INSECURE, ERR_CERT_WEAK_SIGNATURE_ALGORITHM},
      {G_TLS_CERTIFICATE_GENERIC_ERROR, ERR_CERT_INVALID},
      {GTlsCertificateFlags(0), ERR_CERT_INVALID},  // Failed, though no flag says why.
  };
  for (const auto& c : kCases) {
    LoadError mapped = MapTlsErrors(c.errors);
    EXPECT_EQ(mapped.code, c.expected) << c.errors;
    EXPECT_EQ(mapped.text.rfind("ERR_CERT_", 0), 0u) << mapped.text;
  }
}

}  // namespace
}  // namespace qvex_engine
