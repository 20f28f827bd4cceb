// Browsers in native windows: the window around the browser, and CefBrowserHost::CreateBrowser.
#include "browser/native_window.h"

#include "browser/browser_impl.h"
#include "include/cef_task.h"

namespace qvex_engine {

namespace {

constexpr int kDefaultWidth = 800;
constexpr int kDefaultHeight = 600;

}  // namespace

GtkWidget* NativeWindowFor(CefRefPtr<BrowserImpl> browser, const CefRect& bounds) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window),
                              bounds.width > 0 ? bounds.width : kDefaultWidth,
                              bounds.height > 0 ? bounds.height : kDefaultHeight);
  if (bounds.x != 0 || bounds.y != 0) gtk_window_move(GTK_WINDOW(window), bounds.x, bounds.y);
  gtk_container_add(GTK_CONTAINER(window), browser->widget());
  browser->set_native_window(window);
  auto* held = new CefRefPtr<BrowserImpl>(browser);
  g_signal_connect(window, "delete-event",
                   G_CALLBACK(+[](GtkWidget*, GdkEvent*, CefRefPtr<BrowserImpl>* b) -> gboolean {
                     return (*b)->TryCloseBrowser() ? FALSE : TRUE;
                   }),
                   held);
  g_signal_connect_data(window, "destroy",
                        G_CALLBACK(+[](GtkWidget*, CefRefPtr<BrowserImpl>* b) { (*b)->Destroy(); }),
                        held, [](gpointer p, GClosure*) {
                          delete static_cast<CefRefPtr<BrowserImpl>*>(p);
                        },
                        GConnectFlags(0));
  gtk_widget_show_all(window);
  return window;
}

CefRefPtr<BrowserImpl> BrowserImpl::CreateInNativeWindow(CefRefPtr<CefClient> client,
                                                         const CefBrowserSettings& settings,
                                                         const CefRect& bounds) {
  CefRefPtr<BrowserImpl> browser = Create(client, settings, nullptr);
  NativeWindowFor(browser, bounds);
  return browser;
}

}  // namespace qvex_engine

bool CefBrowserHost::CreateBrowser(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                                   const CefString& url, const CefBrowserSettings& settings,
                                   CefRefPtr<CefDictionaryValue> extra_info,
                                   CefRefPtr<CefRequestContext> request_context) {
  if (!CefCurrentlyOn(TID_UI)) return false;
  CefRefPtr<qvex_engine::BrowserImpl> browser =
      qvex_engine::BrowserImpl::CreateInNativeWindow(client, settings, window_info.bounds);
  if (!url.empty()) webkit_web_view_load_uri(browser->web_view(), url.ToString().c_str());
  return true;
}
