// CefBrowserSettings -> WebKitSettings.
#include "browser/web_view_settings.h"

namespace qvex_engine {

namespace {

void Apply(cef_state_t state, WebKitSettings* web_settings,
           void (*setter)(WebKitSettings*, gboolean), bool invert = false) {
  if (state == STATE_DEFAULT) return;
  bool enabled = state == STATE_ENABLED;
  setter(web_settings, invert ? !enabled : enabled);
}

}  // namespace

void ApplyBrowserSettings(const CefBrowserSettings& s, WebKitSettings* w) {
  Apply(s.javascript, w, webkit_settings_set_enable_javascript);
  Apply(s.javascript_access_clipboard, w, webkit_settings_set_javascript_can_access_clipboard);
  Apply(s.javascript_dom_paste, w, webkit_settings_set_javascript_can_access_clipboard);
  Apply(s.file_access_from_file_urls, w, webkit_settings_set_allow_file_access_from_file_urls);
  Apply(s.universal_access_from_file_urls, w,
        webkit_settings_set_allow_universal_access_from_file_urls);
  Apply(s.web_security, w, webkit_settings_set_disable_web_security, /*invert=*/true);
  Apply(s.webgl, w, webkit_settings_set_enable_webgl);
  Apply(s.image_loading, w, webkit_settings_set_auto_load_images);
  Apply(s.local_storage, w, webkit_settings_set_enable_html5_local_storage);
  Apply(s.databases, w, webkit_settings_set_enable_html5_database);
  Apply(s.tab_to_links, w, webkit_settings_set_enable_tabs_to_links);
  Apply(s.text_area_resize, w, webkit_settings_set_enable_resizable_text_areas);
  if (s.default_font_size > 0) webkit_settings_set_default_font_size(w, s.default_font_size);
  if (s.default_fixed_font_size > 0)
    webkit_settings_set_default_monospace_font_size(w, s.default_fixed_font_size);
  if (s.minimum_font_size > 0) webkit_settings_set_minimum_font_size(w, s.minimum_font_size);
  if (!s.default_encoding.empty())
    webkit_settings_set_default_charset(w, s.default_encoding.ToString().c_str());
  // CEF has no pop-up blocker: window.open works without a user gesture.
  webkit_settings_set_javascript_can_open_windows_automatically(w, TRUE);
  // A page restored from the page cache gets no response decision and no new document, yet
  // counts as a load: the start-up scripts would run again in a document that has them.
  webkit_settings_set_enable_page_cache(w, FALSE);
  // ShowDevTools opens WebKit's inspector, which a view has only with developer extras on.
  webkit_settings_set_enable_developer_extras(w, TRUE);
}

}  // namespace qvex_engine
