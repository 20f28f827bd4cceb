// BrowserImpl: one browser of the UI process, a WebKitWebView, as CefBrowser and as its
// CefBrowserHost. UI thread, except where a method says any thread.
#ifndef QVEX_ENGINE_BROWSER_BROWSER_IMPL_H_
#define QVEX_ENGINE_BROWSER_BROWSER_IMPL_H_

#include <webkit2/webkit2.h>

#include <atomic>
#include <memory>
#include <string>

#include "include/cef_browser.h"
#include "include/cef_client.h"

namespace qvex_engine {

class BrowserViewImpl;
class FrameImpl;
class FrameTree;
class PageDialogs;
struct LoadState;
class StartScripts;
class WebProcessRecovery;

class BrowserImpl : public CefBrowser, public CefBrowserHost {
 public:
  // Creates the web view (related to `opener` for a pop-up, so they share a web process),
  // applies the settings, connects the signals and calls the client's OnAfterCreated.
  static CefRefPtr<BrowserImpl> Create(CefRefPtr<CefClient> client,
                                       const CefBrowserSettings& settings,
                                       WebKitWebView* opener);
  // A browser in a top-level window of the port's own (outside the Views framework).
  static CefRefPtr<BrowserImpl> CreateInNativeWindow(CefRefPtr<CefClient> client,
                                                     const CefBrowserSettings& settings,
                                                     const CefRect& bounds);
  // The developer tools of `inspected`: WebKit's inspector view (not a WebKitWebView: it has
  // no title, load or script of its own) as a browser of `client`.
  static CefRefPtr<BrowserImpl> CreateDevTools(CefRefPtr<CefClient> client,
                                               BrowserImpl* inspected, GtkWidget* inspector_view);
  // The browser of a web view, or null.
  static CefRefPtr<BrowserImpl> FromWebView(WebKitWebView* web_view);

  // CefBrowser
  CefRefPtr<CefBrowserHost> GetHost() override { return this; }
  bool CanGoBack() override;
  void GoBack() override;
  bool CanGoForward() override;
  void GoForward() override;
  bool IsLoading() override;
  void Reload() override;
  void StopLoad() override;
  int GetIdentifier() override { return id_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override;
  bool IsPopup() override { return is_popup_; }
  CefRefPtr<CefFrame> GetMainFrame() override;   // Any thread.
  CefRefPtr<CefFrame> GetFocusedFrame() override;
  // Any thread: the main frame and the sub-frames the web process has reported.
  CefRefPtr<CefFrame> GetFrame(int64_t identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override;
  void GetFrameIdentifiers(std::vector<int64_t>& identifiers) override;
  void GetFrameNames(std::vector<CefString>& names) override;

  // CefBrowserHost
  CefRefPtr<CefBrowser> GetBrowser() override { return this; }
  void CloseBrowser(bool force_close) override;
  void RunWhenScriptsDone(CefRefPtr<CefTask> task) override;
  bool TryCloseBrowser() override;
  void SetFocus(bool focus) override;
  cef_window_handle_t GetWindowHandle() override;
  CefRefPtr<CefClient> GetClient() override { return client_; }
  void DownloadImage(const CefString& image_url, bool is_favicon, uint32_t max_image_size,
                     bool bypass_cache, CefRefPtr<CefDownloadImageCallback> callback) override;
  void ShowDevTools(const CefWindowInfo& window_info, CefRefPtr<CefClient> client,
                    const CefBrowserSettings& settings,
                    const CefPoint& inspect_element_at) override;
  void CloseDevTools() override;
  bool HasDevTools() override;

  // The browser's widget; for developer tools the inspector's view. Null never.
  GtkWidget* widget() const { return widget_; }
  // The web view; null for developer tools.
  WebKitWebView* web_view() const { return web_view_; }
  // A top-level window of the port's own (a browser made with CefBrowserHost::CreateBrowser).
  void set_native_window(GtkWidget* window) { native_window_ = window; }
  const CefBrowserSettings& settings() const { return settings_; }
  FrameImpl* main_frame() const;
  FrameTree* frames() const { return frames_.get(); }
  BrowserViewImpl* view() const { return view_; }
  void set_view(BrowserViewImpl* view) { view_ = view; }
  bool is_closed() const { return close_state_ == CloseState::kClosed; }
  bool is_closing() const { return close_state_ != CloseState::kOpen; }
  // What happens when the page's web process ends; null for developer tools.
  WebProcessRecovery* recovery() const { return recovery_.get(); }
  // The one-shot scripts of the next main-frame document; null for developer tools.
  StartScripts* start_scripts() const { return start_scripts_.get(); }
  // What is known of the current loads (load_signals.cc keeps it).
  LoadState* load_state() const { return load_state_.get(); }

  // Any thread: runs the script in the main frame's document from the UI thread. The browser
  // is not torn down before the script has finished (or the close watchdog fired). Asked for
  // on the UI thread while a main-frame load start is reported, it runs in the new document
  // before the document's own scripts instead.
  void RequestScript(const std::string& code, const std::string& script_url);
  // Any thread: runs the script in the document of the sub-frame `frame_id`; the browser
  // waits for it when it closes, as for the main frame's.
  void RequestFrameScript(int64_t frame_id, const CefString& code, const CefString& script_url,
                          int start_line);
  // Any thread: sends a process message to the frame `frame_id` in the page's web process.
  void SendProcessMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message);
  // UI thread: the same with the message already in its bytes (FrameMessageToVariant's form
  // for `frame_id`); takes `parameters`.
  void SendFrameMessage(const std::string& name, GVariant* parameters);
  // The web view's top-level window was destroyed: OnBeforeClose, then the view is released.
  void Destroy();
  // The page let the browser close: WebKit's "close" (window.close(), a WebDriver's close, or
  // the page's consent when a close asked it). Starts the close sequence unless it runs.
  void OnPageLetClose();
  // Runs the main loop until the browser is closed (a close sequence has been started), at
  // most a few seconds.
  void WaitUntilClosed();

 private:
  // kAsking: the page's `beforeunload` has been asked whether it may go (close/browser_impl_ask.cc).
  // kHeld: the client's DoClose answered true; a forced CloseBrowser goes on with the close.
  enum class CloseState { kOpen, kAsking, kClosing, kHeld, kClosable, kClosed };

  BrowserImpl(GtkWidget* widget, CefRefPtr<CefClient> client,
              const CefBrowserSettings& settings, bool is_popup, int id);
  void Attach();  // Registers the widget, connects signals, calls OnAfterCreated.
  ~BrowserImpl() override;

  void AskPageThenClose();
  void ArmAskWatchdog();
  void StopAskWatchdog();
  void OnLeaveQuestionShown();
  void OnLeaveQuestionAnswered(bool leave);
  static void OnAskWatchdog(int browser_id, int generation);
  void StartClose();
  void RunDoClose();
  void CloseWhenScriptsDone();
  void FinishClose();
  void RunScript(const std::string& code, const std::string& script_url);
  void RunFrameScript(int64_t frame_id, CefRefPtr<CefProcessMessage> message);
  void ScriptFinished();
  void RunScriptsDoneTasks();
  static void OnScriptsDoneWatchdog(int browser_id, int generation);
  static void OnScriptDone(GObject* source, GAsyncResult* result, gpointer data);
  static void OnFrameScriptDone(GObject* source, GAsyncResult* result, gpointer data);
  static void OnCloseWatchdog(int browser_id, int generation);
  static void OnInspectorClosed(WebKitWebInspector* inspector, BrowserImpl* self);
  static gboolean OnOpenInspectorWindow(WebKitWebInspector* inspector, BrowserImpl* self);
  static gboolean OnAttachInspector(WebKitWebInspector* inspector, BrowserImpl* self);

  GtkWidget* widget_;        // Strong reference for the object's life.
  WebKitWebView* web_view_;  // The same object as widget_, or null for developer tools.
  GtkWidget* native_window_ = nullptr;
  WebKitWebInspector* inspector_ = nullptr;   // Developer tools: whose inspector they are.
  CefRefPtr<BrowserImpl> devtools_;           // The developer tools of this browser, if open.
  CefRefPtr<CefClient> devtools_client_;
  CefWindowInfo devtools_window_info_;
  CefRefPtr<CefClient> client_;
  CefBrowserSettings settings_;
  std::unique_ptr<FrameTree> frames_;
  std::unique_ptr<StartScripts> start_scripts_;
  std::unique_ptr<WebProcessRecovery> recovery_;
  std::unique_ptr<PageDialogs> page_dialogs_;  // Null for developer tools.
  std::unique_ptr<LoadState> load_state_;
  const int id_;
  const bool is_popup_;
  BrowserViewImpl* view_ = nullptr;  // The view clears it when it lets go of the browser.
  CloseState close_state_ = CloseState::kOpen;
  std::atomic<int> pending_scripts_{0};
  // Each watchdog is a delayed task that finds its browser by identifier (it does not keep a
  // closed browser alive) and acts only while its generation is current: stopping one or
  // arming it again moves the generation on.
  int close_watchdog_ = 0;
  int ask_watchdog_ = 0;
  int scripts_watchdog_ = 0;
  // Waiting for the scripts asked for so far (RunWhenScriptsDone).
  std::vector<CefRefPtr<CefTask>> scripts_done_tasks_;
  // A watchdog gave up on the scripts of this browser (a page that hangs): they hold nothing
  // any more.
  bool gave_up_on_scripts_ = false;

  IMPLEMENT_REFCOUNTING(BrowserImpl);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_BROWSER_IMPL_H_
