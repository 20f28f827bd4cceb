// Title and icon changes of a page. UI thread.
#ifndef CEF_INCLUDE_CEF_DISPLAY_HANDLER_H_
#define CEF_INCLUDE_CEF_DISPLAY_HANDLER_H_

#include <vector>

#include "include/cef_base.h"
#include "include/cef_browser.h"

class CefDisplayHandler : public virtual CefBaseRefCounted {
 public:
  // The page's title, or its URL when it has none.
  virtual void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {}
  // After a load: the page's icon links in document order, else <origin>/favicon.ico.
  virtual void OnFaviconURLChange(CefRefPtr<CefBrowser> browser,
                                  const std::vector<CefString>& icon_urls) {}
};

#endif  // CEF_INCLUDE_CEF_DISPLAY_HANDLER_H_
