// WebExtensionInit <-> GVariant "(sas)".
#include "common/web_extension_init.h"

namespace qvex_engine {

namespace {
constexpr char kFormat[] = "(sas)";
}  // namespace

GVariant* WebExtensionInit::Encode() const {
  GVariantBuilder switches_builder;
  g_variant_builder_init(&switches_builder, G_VARIANT_TYPE_STRING_ARRAY);
  for (const std::string& s : switches) g_variant_builder_add(&switches_builder, "s", s.c_str());
  return g_variant_new(kFormat, executable_dir.c_str(), &switches_builder);
}

bool WebExtensionInit::Decode(GVariant* data, WebExtensionInit* out) {
  if (!data || !g_variant_is_of_type(data, G_VARIANT_TYPE(kFormat))) return false;
  WebExtensionInit decoded;
  const gchar* dir = nullptr;
  GVariantIter* iter = nullptr;
  g_variant_get(data, "(&sas)", &dir, &iter);
  decoded.executable_dir = dir;
  const gchar* s = nullptr;
  while (g_variant_iter_loop(iter, "&s", &s)) decoded.switches.push_back(s);
  g_variant_iter_free(iter);
  *out = std::move(decoded);
  return true;
}

}  // namespace qvex_engine
