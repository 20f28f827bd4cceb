// BrowserImpl: developer tools and image downloads. UI thread.
#include "browser/browser_impl.h"

#include "browser/browser_view_impl.h"
#include "browser/page/image_download.h"
#include "browser/native_window.h"
#include "common/guarded.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"

namespace qvex_engine {

void BrowserImpl::DownloadImage(const CefString& image_url, bool is_favicon,
                                uint32_t max_image_size, bool bypass_cache,
                                CefRefPtr<CefDownloadImageCallback> callback) {
  if (!callback) return;
  CefString url = image_url;
  DownloadImageAsync(image_url.ToString(), max_image_size, bypass_cache,
                     [callback, url](int status, CefRefPtr<CefImage> image) {
                       Guarded("OnDownloadImageFinished", [&] {
                         callback->OnDownloadImageFinished(url, status, image);
                       });
                     });
}

void BrowserImpl::ShowDevTools(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                               const CefBrowserSettings& settings,
                               const CefPoint& inspect_element_at) {
  if (!web_view_ || is_closed()) return;
  if (devtools_) {
    GtkWidget* toplevel = gtk_widget_get_toplevel(devtools_->widget());
    if (GTK_IS_WINDOW(toplevel)) gtk_window_present(GTK_WINDOW(toplevel));
    return;
  }
  devtools_client_ = client ? client : client_;
  devtools_window_info_ = window_info;
  webkit_web_inspector_show(webkit_web_view_get_inspector(web_view_));
}

void BrowserImpl::CloseDevTools() {
  if (devtools_) devtools_->CloseBrowser(false);
}

bool BrowserImpl::HasDevTools() { return devtools_ != nullptr; }

gboolean BrowserImpl::OnAttachInspector(WebKitWebInspector* inspector, BrowserImpl* self) {
  // WebKit asks to attach when it last showed the tools attached: they always get a window
  // of their own instead.
  return OnOpenInspectorWindow(inspector, self);
}

gboolean BrowserImpl::OnOpenInspectorWindow(WebKitWebInspector* inspector, BrowserImpl* self) {
  if (self->devtools_ || self->is_closed()) return TRUE;
  GtkWidget* inspector_view = GTK_WIDGET(webkit_web_inspector_get_web_view(inspector));
  CefRefPtr<BrowserImpl> devtools =
      CreateDevTools(self->devtools_client_, self, inspector_view);
  self->devtools_ = devtools;
  // The inspected view's delegate places the tools, as it places pop-ups; a browser without
  // a view (a native window) gets a native window for its tools too.
  CefRefPtr<BrowserViewImpl> opener_view = self->view_;
  if (!opener_view || !BrowserViewImpl::ShowExisting(opener_view, devtools, true))
    NativeWindowFor(devtools, self->devtools_window_info_.bounds);
  // The inspector's view has no title of its own.
  CefRefPtr<CefClient> client = devtools->GetClient();
  CefRefPtr<CefDisplayHandler> display = client ? client->GetDisplayHandler() : nullptr;
  if (display) {
    const gchar* uri = webkit_web_view_get_uri(self->web_view_);
    Guarded("OnTitleChange", [&] {
      display->OnTitleChange(devtools.get(), std::string("Developer Tools - ") + (uri ? uri : ""));
    });
  }
  return TRUE;
}

void BrowserImpl::OnInspectorClosed(WebKitWebInspector*, BrowserImpl* self) {
  CefRefPtr<BrowserImpl> devtools = self->devtools_;
  self->devtools_ = nullptr;
  if (!devtools) return;
  devtools->inspector_ = nullptr;
  devtools->CloseBrowser(true);
}

}  // namespace qvex_engine
