// Browsers in top-level windows of the port's own, outside the Views framework (a browser made
// with CefBrowserHost::CreateBrowser, and developer tools of such a browser). UI thread.
#ifndef QVEX_ENGINE_BROWSER_NATIVE_WINDOW_H_
#define QVEX_ENGINE_BROWSER_NATIVE_WINDOW_H_

#include <gtk/gtk.h>

#include "include/internal/cef_types.h"
#include "include/internal/cef_ptr.h"

namespace qvex_engine {

class BrowserImpl;

// A top-level window of the port's own around a browser widget: closing it runs the browser's
// close sequence, and its destruction ends the browser.
GtkWidget* NativeWindowFor(CefRefPtr<BrowserImpl> browser, const CefRect& bounds);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_NATIVE_WINDOW_H_
