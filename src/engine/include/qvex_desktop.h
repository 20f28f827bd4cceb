// What makes the program a desktop app of its own: its window class, program and display
// names, icon, where its HTTP cache goes, bringing its window forward and the origins whose
// notifications it shows. The port's own calls: CEF has none of them (a Chromium app takes its
// window class from a switch and its icon from its desktop file). Browser process, main thread.
#ifndef QVEX_INCLUDE_QVEX_DESKTOP_H_
#define QVEX_INCLUDE_QVEX_DESKTOP_H_

#include <string>
#include <vector>

#include "include/views/cef_window.h"

struct QvexDesktopIdentity {
  // The application id: every top-level window's WM_CLASS (instance and class) and the
  // program name (g_get_prgname). Empty: the executable's name, as before.
  std::string id;
  // The display name: the accessibility tree's application name and the app name of its
  // notifications. Empty: the program name.
  std::string name;
  // A PNG or SVG file: every window's icon (_NET_WM_ICON, 16 to 256 pixels) from its first
  // map until its page's favicons arrive. Empty: none.
  std::string icon_path;
  // With CefSettings::cache_path set: the pages' storage goes straight into cache_path and the
  // HTTP cache here (instead of cache_path/data and cache_path/cache).
  std::string http_cache_path;
};

// Before CefInitialize; later calls change nothing.
void QvexSetDesktopIdentity(const QvexDesktopIdentity& identity);

// Brings `window` forward in answer to a user's action elsewhere (a second start of the app):
// with `startup_id` (that start's DESKTOP_STARTUP_ID, whose _TIME is the user's) when given,
// else with a fresh X server time, so a window manager's focus-stealing prevention lets it.
void QvexPresentWindow(CefRefPtr<CefWindow> window, const std::string& startup_id);

// Origins ("http://127.0.0.1:8617", "file://") whose pages have the Notification permission
// from their first script on (Notification.permission is "granted" before any request).
// After CefInitialize; replaces the earlier list.
void QvexGrantNotifications(const std::vector<std::string>& origins);

#endif  // QVEX_INCLUDE_QVEX_DESKTOP_H_
