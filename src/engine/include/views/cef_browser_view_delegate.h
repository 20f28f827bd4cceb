// CefBrowserViewDelegate: pop-ups and developer tools of a browser view. UI thread.
#ifndef CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_DELEGATE_H_
#define CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_DELEGATE_H_

#include "include/cef_browser.h"
#include "include/views/cef_view_delegate.h"

class CefBrowserView;

class CefBrowserViewDelegate : public CefViewDelegate {
 public:
  virtual void OnBrowserCreated(CefRefPtr<CefBrowserView> browser_view,
                                CefRefPtr<CefBrowser> browser) {}
  virtual void OnBrowserDestroyed(CefRefPtr<CefBrowserView> browser_view,
                                  CefRefPtr<CefBrowser> browser) {}
  // The delegate of a pop-up's view; the default hands down the opener's delegate.
  virtual CefRefPtr<CefBrowserViewDelegate> GetDelegateForPopupBrowserView(
      CefRefPtr<CefBrowserView> browser_view, const CefBrowserSettings& settings,
      CefRefPtr<CefClient> client, bool is_devtools) {
    return this;
  }
  // A pop-up (or developer tools) view was made; place it in a window and return true.
  // Returning false closes the pop-up.
  virtual bool OnPopupBrowserViewCreated(CefRefPtr<CefBrowserView> browser_view,
                                         CefRefPtr<CefBrowserView> popup_browser_view,
                                         bool is_devtools) {
    return false;
  }
};

#endif  // CEF_INCLUDE_VIEWS_CEF_BROWSER_VIEW_DELEGATE_H_
