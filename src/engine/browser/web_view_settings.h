// Maps a CefBrowserSettings record onto WebKitSettings. Any thread (no display needed).
#ifndef QVEX_ENGINE_BROWSER_WEB_VIEW_SETTINGS_H_
#define QVEX_ENGINE_BROWSER_WEB_VIEW_SETTINGS_H_

#include <webkit2/webkit2.h>

#include "include/internal/cef_types.h"

namespace qvex_engine {

// STATE_DEFAULT leaves WebKit's default. remote_fonts, application_cache and
// javascript_close_windows have no WebKit counterpart. The page cache is always off (history
// navigations must create fresh script contexts), developer extras always on, and pages may
// open windows without a user gesture, as in CEF.
void ApplyBrowserSettings(const CefBrowserSettings& settings, WebKitSettings* web_settings);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_WEB_VIEW_SETTINGS_H_
