// WebKit's load failures as CEF error codes.
#include "browser/load_error.h"

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

}  // namespace
}  // namespace qvex_engine
