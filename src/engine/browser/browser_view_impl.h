// BrowserViewImpl: a CefBrowserView, the place of one browser's web view in a window.
// UI thread.
#ifndef QVEX_ENGINE_BROWSER_BROWSER_VIEW_IMPL_H_
#define QVEX_ENGINE_BROWSER_BROWSER_VIEW_IMPL_H_

#include <gtk/gtk.h>

#include <string>

#include "include/views/cef_browser_view.h"

namespace qvex_engine {

class BrowserImpl;
class WindowImpl;

class BrowserViewImpl : public CefBrowserView {
 public:
  BrowserViewImpl(CefRefPtr<CefClient> client, const std::string& url,
                  const CefBrowserSettings& settings,
                  CefRefPtr<CefBrowserViewDelegate> delegate);
  ~BrowserViewImpl() override;

  // The web view for WebKit's "create" signal: a browser related to `opener` in a view of its
  // own. Once WebKit says it is ready to show, the opener's delegate places it (or it closes).
  static GtkWidget* CreatePopup(BrowserImpl* opener);
  // A new, unrelated browser in a window of its own, placed as `model`'s pop-ups are (a
  // window that a WebDriver session asks for); null when the delegate does not place it.
  static CefRefPtr<BrowserImpl> CreateWindowLike(BrowserImpl* model);
  // A view around an existing browser (developer tools), placed by `opener_view`'s delegate.
  static bool ShowExisting(CefRefPtr<BrowserViewImpl> opener_view,
                           CefRefPtr<BrowserImpl> browser, bool is_devtools);

  // CefView
  CefRefPtr<CefBrowserView> AsBrowserView() override { return this; }
  CefRefPtr<CefWindow> AsWindow() override;
  CefRefPtr<CefWindow> GetWindow() override;
  void RequestFocus() override;
  CefSize GetSize() override;
  // CefBrowserView
  CefRefPtr<CefBrowser> GetBrowser() override;

  // Called by the window that adds the view: creates the browser when there is none yet and
  // starts its first load; returns the widget to pack.
  GtkWidget* AttachToWindow(WindowImpl* window);
  // The window is gone: the browser closes for good and the view lets go of it.
  void OnWindowDestroyed();

  CefRefPtr<CefBrowserViewDelegate> delegate() const { return delegate_; }
  CefRefPtr<BrowserImpl> browser_impl() const;

 private:
  void Adopt(CefRefPtr<BrowserImpl> browser);
  static void OnReadyToShow(GtkWidget* web_view, gpointer data);

  CefRefPtr<CefClient> client_;
  std::string url_;
  CefBrowserSettings settings_;
  CefRefPtr<CefBrowserViewDelegate> delegate_;
  CefRefPtr<BrowserImpl> browser_;
  WindowImpl* window_ = nullptr;  // The window clears it when it is destroyed.

  IMPLEMENT_REFCOUNTING(BrowserViewImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_BROWSER_VIEW_IMPL_H_
