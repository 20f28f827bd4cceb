// SimpleHandler: browser list, close sequence, load handling, title and favicons, context
// menu and the browser side of the message router. UI thread unless noted.
#include "client/simple_handler.h"

#include <future>
#include <system_error>

#include "app/backend/backend.h"
#include "app/browser_events.h"
#include "client/error_page.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"
#include "include/views/cef_browser_view.h"
#include "include/views/cef_window.h"
#include "include/wrapper/cef_closure_task.h"
#include "include/wrapper/cef_helpers.h"

namespace {

SimpleHandler* g_instance = nullptr;

// The context-menu entry that opens the developer tools.
constexpr int kDevToolsCommandId = 567;
const char kDevToolsLabel[] = "Qvex Developer Tools";

// What the page is asked to run before its browser goes.
const char kUnloadScript[] = "qvex_nt_api.unload();";

// Time the page gets after its unload call before the browser closes.
constexpr long kClosePauseMs = 300;

// Asks the page to run its unload function; returns 1 like the task it stands in for.
int RunUnload(CefRefPtr<CefBrowser> browser) {
  CefRefPtr<CefFrame> frame = browser->GetMainFrame();
  if (frame) frame->ExecuteJavaScript(kUnloadScript, frame->GetURL(), 0);
  return 1;
}

}  // namespace

// Passes every message-router query to the application's OnQuery hook.
class MessageHandler : public CefMessageRouterBrowserSide::Handler {
 public:
  bool OnQuery(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame, int64_t query_id,
               const CefString& request, bool persistent,
               CefRefPtr<Callback> callback) override {
    return be.OnQuery(browser, frame, query_id, request, persistent, callback);
  }
};

// Completion of one favicon download: the first icon URL gives the window icon, the second
// the application icon.
class ClientDownloadImageCallback : public CefDownloadImageCallback {
 public:
  ClientDownloadImageCallback(CefRefPtr<SimpleHandler> handler, CefRefPtr<CefBrowser> browser,
                              bool app_icon)
      : handler_(handler), browser_(browser), app_icon_(app_icon) {}

  void OnDownloadImageFinished(const CefString& image_url, int http_status_code,
                               CefRefPtr<CefImage> image) override {
    if (image) handler_->NotifyFavicon(browser_, image, app_icon_);
  }

 private:
  CefRefPtr<SimpleHandler> handler_;
  CefRefPtr<CefBrowser> browser_;
  const bool app_icon_;

  IMPLEMENT_REFCOUNTING(ClientDownloadImageCallback);
  DISALLOW_COPY_AND_ASSIGN(ClientDownloadImageCallback);
};

SimpleHandler::SimpleHandler(bool use_views) : use_views_(use_views) { g_instance = this; }

SimpleHandler::~SimpleHandler() {
  g_instance = nullptr;
  browser_list_.clear();
  message_handler_.reset();
  router_ = nullptr;
  permissions_ = nullptr;
}

SimpleHandler* SimpleHandler::GetInstance() { return g_instance; }

// --- Life span -------------------------------------------------------------------------

void SimpleHandler::OnAfterCreated(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  if (!router_) {
    CefMessageRouterConfig config;
    router_ = CefMessageRouterBrowserSide::Create(config);
    message_handler_.reset(new MessageHandler());
    router_->AddHandler(message_handler_.get(), false);
  }
  browser_list_.push_back(browser);
  be.onAfterBrowserInit(browser);
}

bool SimpleHandler::DoClose(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  // Called again once the pause after the unload has passed: now the browser may go.
  if (paused_.erase(browser->GetIdentifier())) return false;

  be.onBeforeBrowserClose(browser);
  // A page that waits for the backend gets nothing more once it closes.
  if (Backend* backend = Backend::Current()) backend->Detach(browser);
  // The unload request is made from a thread of its own while this thread waits.
  try {
    std::future<int> task = std::async(std::launch::async, RunUnload, browser);
    task.get();
  } catch (const std::system_error&) {
    RunUnload(browser);  // No thread to be had: ask from here; the close goes on.
  }
  // The page runs its unload only once this thread is back in its loop, so the pause cannot be
  // a sleep here (it would come before the unload). The close is held instead: the pause starts
  // when the page has run the unload, with the page's timers, requests and storage going on,
  // and then the browser is closed for good.
  paused_.insert(browser->GetIdentifier());
  browser->GetHost()->RunWhenScriptsDone(
      CefCreateClosureTask(base::Bind(&SimpleHandler::StartClosePause, this, browser)));
  return true;
}

void SimpleHandler::StartClosePause(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  CefPostDelayedTask(TID_UI, base::Bind(&SimpleHandler::EndClosePause, this, browser),
                     kClosePauseMs);
}

void SimpleHandler::EndClosePause(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  browser->GetHost()->CloseBrowser(true);
}

void SimpleHandler::OnBeforeClose(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  paused_.erase(browser->GetIdentifier());
  errors_shown_.erase(browser->GetIdentifier());
  for (auto it = browser_list_.begin(); it != browser_list_.end(); ++it) {
    if ((*it)->IsSame(browser)) {
      browser_list_.erase(it);
      break;
    }
  }
  if (!browser_list_.empty()) return;
  if (router_) {
    router_->RemoveHandler(message_handler_.get());
    message_handler_.reset();
    router_ = nullptr;
  }
  CefQuitMessageLoop();
}

void SimpleHandler::CloseAllBrowsers(bool force_close) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&SimpleHandler::CloseAllBrowsers, this, force_close));
    return;
  }
  for (const CefRefPtr<CefBrowser>& browser : browser_list_)
    browser->GetHost()->CloseBrowser(force_close);
}

// --- Messaging -------------------------------------------------------------------------

bool SimpleHandler::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                             CefRefPtr<CefFrame> frame,
                                             CefProcessId source_process,
                                             CefRefPtr<CefProcessMessage> message) {
  CEF_REQUIRE_UI_THREAD();
  if (!router_) return false;
  return router_->OnProcessMessageReceived(browser, frame, source_process, message);
}

bool SimpleHandler::OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                   CefRefPtr<CefRequest> request, bool user_gesture,
                                   bool is_redirect) {
  CEF_REQUIRE_UI_THREAD();
  if (router_) router_->OnBeforeBrowse(browser, frame);
  return false;
}

void SimpleHandler::OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser,
                                              TerminationStatus status) {
  CEF_REQUIRE_UI_THREAD();
  // The page's pending queries went with its process: the router cancels them.
  if (router_) router_->OnRenderProcessTerminated(browser);
}

// --- Loads -----------------------------------------------------------------------------

void SimpleHandler::OnLoadStart(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                TransitionType transition_type) {
  CEF_REQUIRE_UI_THREAD();
  be.onLoadStart(browser, frame, transition_type);
}

void SimpleHandler::OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading,
                                         bool canGoBack, bool canGoForward) {
  CEF_REQUIRE_UI_THREAD();
  if (isLoading) be.onPageInit(browser, canGoBack, canGoForward);
  else be.onPageEnd(browser, canGoBack, canGoForward);
}

void SimpleHandler::OnLoadEnd(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                              int httpStatusCode) {
  CEF_REQUIRE_UI_THREAD();
  be.onLoadEnd(browser, frame, httpStatusCode);
}

void SimpleHandler::OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                ErrorCode errorCode, const CefString& errorText,
                                const CefString& failedUrl) {
  CEF_REQUIRE_UI_THREAD();
  // A load cancelled by a newer one: an error page would replace the newer navigation.
  if (errorCode == ERR_ABORTED) return;
  std::string html = ComposeErrorPage(failedUrl.ToString(), errorText.ToString(), errorCode);
  const std::string page_url = ErrorPageDataUrl(html);
  if (frame->IsMain()) errors_shown_[browser->GetIdentifier()] = {page_url, failedUrl.ToString()};
  frame->LoadURL(page_url);
}

void SimpleHandler::ReloadErrorPages() {
  CEF_REQUIRE_UI_THREAD();
  for (const CefRefPtr<CefBrowser>& browser : browser_list_) {
    auto it = errors_shown_.find(browser->GetIdentifier());
    if (it == errors_shown_.end()) continue;
    CefRefPtr<CefFrame> frame = browser->GetMainFrame();
    const ErrorShown shown = it->second;
    errors_shown_.erase(it);
    // Only a page still showing its error: one the user has gone on from stays.
    if (frame && frame->GetURL().ToString() == shown.page_url) frame->LoadURL(shown.failed_url);
  }
}

// --- Title and icons -------------------------------------------------------------------

void SimpleHandler::OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) {
  CEF_REQUIRE_UI_THREAD();
  if (!use_views_) {
    PlatformTitleChange(browser, title);
    return;
  }
  CefRefPtr<CefBrowserView> browser_view = CefBrowserView::GetForBrowser(browser);
  CefRefPtr<CefWindow> window = browser_view ? browser_view->GetWindow() : nullptr;
  if (window) window->SetTitle(title);
}

void SimpleHandler::OnFaviconURLChange(CefRefPtr<CefBrowser> browser,
                                       const std::vector<CefString>& icon_urls) {
  CEF_REQUIRE_UI_THREAD();
  if (icon_urls.empty()) return;
  CefRefPtr<CefBrowserHost> host = browser->GetHost();
  host->DownloadImage(icon_urls[0], true, 16, false,
                      new ClientDownloadImageCallback(this, browser, false));
  if (icon_urls.size() >= 2) {
    host->DownloadImage(icon_urls[1], true, 96, false,
                        new ClientDownloadImageCallback(this, browser, true));
  }
}

void SimpleHandler::NotifyFavicon(CefRefPtr<CefBrowser> browser, CefRefPtr<CefImage> image,
                                  bool app_icon) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI,
                base::Bind(&SimpleHandler::NotifyFavicon, this, browser, image, app_icon));
    return;
  }
  if (!use_views_) {
    onSetFavicon(browser, image);
    return;
  }
  CefRefPtr<CefBrowserView> browser_view = CefBrowserView::GetForBrowser(browser);
  CefRefPtr<CefWindow> window = browser_view ? browser_view->GetWindow() : nullptr;
  if (!window) return;
  if (app_icon) window->SetWindowAppIcon(image);
  else window->SetWindowIcon(image);
}

// --- Context menu and developer tools --------------------------------------------------

void SimpleHandler::OnBeforeContextMenu(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefRefPtr<CefContextMenuParams> params,
                                        CefRefPtr<CefMenuModel> model) {
  CEF_REQUIRE_UI_THREAD();
  model->AddItem(kDevToolsCommandId, kDevToolsLabel);
}

bool SimpleHandler::OnContextMenuCommand(CefRefPtr<CefBrowser> browser,
                                         CefRefPtr<CefFrame> frame,
                                         CefRefPtr<CefContextMenuParams> params,
                                         int command_id, EventFlags event_flags) {
  CEF_REQUIRE_UI_THREAD();
  switch (command_id) {
    case MENU_ID_VIEW_SOURCE:
      return true;
    case kDevToolsCommandId:
      ShowDevTools2(browser);
      return true;
    default:
      return false;
  }
}

bool SimpleHandler::ShowDevTools2(CefRefPtr<CefBrowser> browser) {
  CefWindowInfo window_info;
  window_info.bounds.width = 300;
  window_info.bounds.height = 800;
  CefBrowserSettings settings;
  CefPoint inspect_at;
  CefRefPtr<CefBrowserHost> host = browser->GetHost();
  host->ShowDevTools(window_info, host->GetClient(), settings, inspect_at);
  return true;
}
