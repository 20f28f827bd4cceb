// CefBrowserView: a view that holds one browser (a WebKitWebView). UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_H_
#define CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_H_

#include "include/cef_browser.h"
#include "include/cef_client.h"
#include "include/cef_request_context.h"
#include "include/cef_values.h"
#include "include/views/cef_browser_view_delegate.h"
#include "include/views/cef_view.h"

class CefBrowserView : public CefView {
 public:
  // The browser is created when the view is added to a window; it then loads `url`.
  static CefRefPtr<CefBrowserView> CreateBrowserView(
      CefRefPtr<CefClient> client, const CefString& url, const CefBrowserSettings& settings,
      CefRefPtr<CefDictionaryValue> extra_info, CefRefPtr<CefRequestContext> request_context,
      CefRefPtr<CefBrowserViewDelegate> delegate);
  // The view holding `browser`, or null.
  static CefRefPtr<CefBrowserView> GetForBrowser(CefRefPtr<CefBrowser> browser);

  // Null until the view is in a window, and again once the browser has closed.
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
};

#endif  // CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_H_
