// BrowserImpl: image downloads and developer tools.
#include "browser/browser_impl.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"

namespace qvex_engine {

void BrowserImpl::DownloadImage(const CefString& image_url, bool is_favicon,
                                uint32_t max_image_size, bool bypass_cache,
                                CefRefPtr<CefDownloadImageCallback> callback) {
  if (!callback) return;
  CefPostTask(TID_UI, base::Bind(&CefDownloadImageCallback::OnDownloadImageFinished, callback,
                                 image_url, 0, CefRefPtr<CefImage>()));
}

void BrowserImpl::ShowDevTools(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                               const CefBrowserSettings& settings,
                               const CefPoint& inspect_element_at) {}

void BrowserImpl::CloseDevTools() {}

bool BrowserImpl::HasDevTools() { return false; }

}  // namespace qvex_engine
