// The web process's initialization data, both ways.
#include "common/web_extension_init.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(WebExtensionInitTest, RoundTripsAndRefusesOtherData) {
  WebExtensionInit init{"/opt/qvex dir", {"--log-severity=warning", "--x=\xC3\xA9"}};
  GVariant* data = g_variant_ref_sink(init.Encode());
  WebExtensionInit decoded;
  ASSERT_TRUE(WebExtensionInit::Decode(data, &decoded));
  EXPECT_EQ(decoded.executable_dir, init.executable_dir);
  EXPECT_EQ(decoded.switches, init.switches);
  g_variant_unref(data);

  GVariant* wrong[] = {g_variant_ref_sink(g_variant_new_string("/opt/qvex")), nullptr};
  for (GVariant* w : wrong) {
    WebExtensionInit untouched{"kept", {}};
    EXPECT_FALSE(WebExtensionInit::Decode(w, &untouched));
    EXPECT_EQ(untouched.executable_dir, "kept");
    if (w) g_variant_unref(w);
  }
}

}  // namespace
}  // namespace qvex_engine
