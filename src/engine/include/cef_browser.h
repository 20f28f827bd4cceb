// CefBrowser and CefBrowserHost. In the UI process a browser is one WebKitWebView: its methods
// run on the UI thread unless said otherwise. In the web process a browser is one WebKitWebPage,
// used on the renderer thread.
#ifndef CEF_INCLUDE_CEF_BROWSER_H_
#define CEF_INCLUDE_CEF_BROWSER_H_

#include <vector>

#include "include/cef_base.h"
#include "include/cef_frame.h"
#include "include/cef_image.h"
#include "include/cef_request_context.h"
#include "include/cef_task.h"
#include "include/cef_values.h"

class CefBrowserHost;
class CefClient;

class CefBrowser : public virtual CefBaseRefCounted {
 public:
  // UI process only; null in the web process.
  virtual CefRefPtr<CefBrowserHost> GetHost() = 0;
  virtual bool CanGoBack() = 0;
  virtual void GoBack() = 0;
  virtual bool CanGoForward() = 0;
  virtual void GoForward() = 0;
  virtual bool IsLoading() = 0;
  virtual void Reload() = 0;
  virtual void StopLoad() = 0;
  // Unique within its process role; a browser and its pages share the id across processes.
  virtual int GetIdentifier() = 0;
  virtual bool IsSame(CefRefPtr<CefBrowser> that) = 0;
  virtual bool IsPopup() = 0;
  virtual CefRefPtr<CefFrame> GetMainFrame() = 0;
  // The frame that has the focus (web process); the main frame in the UI process.
  virtual CefRefPtr<CefFrame> GetFocusedFrame() = 0;
  // The frames of the page: the main frame and every sub-frame that is still there.
  virtual CefRefPtr<CefFrame> GetFrame(int64_t identifier) = 0;
  // The first frame of that name; the empty name is the main frame's.
  virtual CefRefPtr<CefFrame> GetFrame(const CefString& name) = 0;
  virtual size_t GetFrameCount() = 0;
  virtual void GetFrameIdentifiers(std::vector<int64_t>& identifiers) = 0;
  virtual void GetFrameNames(std::vector<CefString>& names) = 0;
};

// Completion of CefBrowserHost::DownloadImage. Called on the UI thread.
class CefDownloadImageCallback : public virtual CefBaseRefCounted {
 public:
  // `image` is null when the download or decoding failed.
  virtual void OnDownloadImageFinished(const CefString& image_url, int http_status_code,
                                       CefRefPtr<CefImage> image) = 0;
};

class CefBrowserHost : public virtual CefBaseRefCounted {
 public:
  // A browser in a top-level window of its own, outside the Views framework (a "native"
  // window; `window_info.bounds` sizes it, 800x600 when empty). Asynchronous in CEF; here the
  // browser exists, and OnAfterCreated has run, when this returns true.
  static bool CreateBrowser(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                            const CefString& url, const CefBrowserSettings& settings,
                            CefRefPtr<CefDictionaryValue> extra_info,
                            CefRefPtr<CefRequestContext> request_context);

  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  // Starts the close: DoClose of the client's life-span handler, then the window closes once
  // every script requested for the browser before has finished (bounded by a watchdog). A
  // DoClose that returns true holds the close; a later CloseBrowser(true) goes on with it,
  // calling DoClose again.
  virtual void CloseBrowser(bool force_close) = 0;
  // The port's own (CEF has no counterpart): posts `task` to the UI thread once every script
  // requested so far for this browser (ExecuteJavaScript from any thread) has run in its page,
  // or cannot run (the page's process is gone), or 1.5 s have passed without that. In CEF the
  // renderer runs a script while the UI thread waits; here the UI thread delivers it, so a
  // step that must follow the page's script (the pause after its unload) starts from here.
  // Any thread.
  virtual void RunWhenScriptsDone(CefRefPtr<CefTask> task) = 0;
  // For a window's CanClose: false while the close runs, true once the window may close.
  virtual bool TryCloseBrowser() = 0;
  virtual void SetFocus(bool focus) = 0;
  // The X window of the browser's top-level window; 0 when it has none (yet).
  virtual cef_window_handle_t GetWindowHandle() = 0;
  virtual CefRefPtr<CefClient> GetClient() = 0;
  // Fetches an http(s), file or data URL and decodes it; the image is scaled down to fit
  // `max_image_size` (0: no limit). The callback runs later on the UI thread.
  virtual void DownloadImage(const CefString& image_url, bool is_favicon,
                             uint32_t max_image_size, bool bypass_cache,
                             CefRefPtr<CefDownloadImageCallback> callback) = 0;
  // Opens the developer tools in a browser view of their own that the inspected browser view's
  // delegate places (OnPopupBrowserViewCreated with is_devtools true).
  virtual void ShowDevTools(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                            const CefBrowserSettings& settings,
                            const CefPoint& inspect_element_at) = 0;
  virtual void CloseDevTools() = 0;
  virtual bool HasDevTools() = 0;
};

#endif  // CEF_INCLUDE_CEF_BROWSER_H_
