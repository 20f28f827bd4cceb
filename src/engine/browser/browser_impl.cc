// BrowserImpl: life, close sequence and scripts of one UI-process browser.
#include "browser/browser_impl.h"

#include <gdk/gdkx.h>

#include "browser/automation.h"
#include "browser/browser_view_impl.h"
#include "browser/frame_impl.h"
#include "browser/frame_tree.h"
#include "browser/open_browsers.h"
#include "browser/close/page_dialogs.h"
#include "browser/loads/load_state.h"
#include "browser/runtime.h"
#include "browser/loads/start_scripts.h"
#include "browser/crash/web_process_recovery.h"
#include "browser/web_view_settings.h"
#include "browser/web_view_signals.h"
#include "browser/window_impl.h"
#include "common/engine_messages.h"
#include "common/guarded.h"
#include "common/process_message_impl.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"
#include "include/cef_task.h"

namespace qvex_engine {

namespace {

// How long a closing browser waits for scripts that were requested before its close (such as
// the page's unload call) before it goes anyway.
constexpr guint kCloseWatchdogMs = 1500;

const char kBrowserKey[] = "qvex-browser";

// A process message for the frame `frame_id` as WebKit carries it to the page.
WebKitUserMessage* ToUserMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message) {
  return webkit_user_message_new(message->GetName().ToString().c_str(),
                                 FrameMessageToVariant(frame_id, message->GetArgumentList()));
}

}  // namespace

CefRefPtr<BrowserImpl> BrowserImpl::Create(CefRefPtr<CefClient> client,
                                           const CefBrowserSettings& settings,
                                           WebKitWebView* opener) {
  WebKitSettings* web_settings = webkit_settings_new();
  ApplyBrowserSettings(settings, web_settings);
  // Each view has a content manager of its own, pop-ups too (a related view would share its
  // opener's): it carries the view's start-up scripts.
  WebKitUserContentManager* content = webkit_user_content_manager_new();
  // A pop-up is related to its opener (they share a web process); any other view gets the
  // port's context. Under automation every view is automated from its construction on.
  GtkWidget* widget = GTK_WIDGET(g_object_new(
      WEBKIT_TYPE_WEB_VIEW, opener ? "related-view" : "web-context",
      opener ? static_cast<gpointer>(opener) : static_cast<gpointer>(GetWebContext()),
      "settings", web_settings, "user-content-manager", content,
      "is-controlled-by-automation", static_cast<gboolean>(AutomationEnabled()), nullptr));
  g_object_unref(web_settings);
  int id = static_cast<int>(webkit_web_view_get_page_id(WEBKIT_WEB_VIEW(widget)));
  CefRefPtr<BrowserImpl> browser = new BrowserImpl(widget, client, settings, opener != nullptr, id);
  CefRefPtr<BrowserImpl> opener_browser = opener ? FromWebView(opener) : nullptr;
  browser->start_scripts_ = std::make_unique<StartScripts>(
      content, opener_browser ? opener_browser->start_scripts_.get() : nullptr);
  g_object_unref(content);
  browser->recovery_ = std::make_unique<WebProcessRecovery>(browser.get());
  browser->Attach();
  NoteBrowserCreated(browser.get());
  return browser;
}

CefRefPtr<BrowserImpl> BrowserImpl::CreateDevTools(CefRefPtr<CefClient> client,
                                                   BrowserImpl* inspected,
                                                   GtkWidget* inspector_view) {
  // Inspector views are not pages of ours: ids from a range page ids do not reach.
  static int next_id = 1 << 24;
  CefRefPtr<BrowserImpl> browser =
      new BrowserImpl(inspector_view, client, CefBrowserSettings(), true, next_id++);
  browser->inspector_ = webkit_web_view_get_inspector(inspected->web_view());
  browser->Attach();
  return browser;
}

CefRefPtr<BrowserImpl> BrowserImpl::FromWebView(WebKitWebView* web_view) {
  return static_cast<BrowserImpl*>(g_object_get_data(G_OBJECT(web_view), kBrowserKey));
}

BrowserImpl::BrowserImpl(GtkWidget* widget, CefRefPtr<CefClient> client,
                         const CefBrowserSettings& settings, bool is_popup, int id)
    : widget_(GTK_WIDGET(g_object_ref_sink(widget))),
      web_view_(WEBKIT_IS_WEB_VIEW(widget) ? WEBKIT_WEB_VIEW(widget) : nullptr),
      client_(client),
      settings_(settings),
      id_(id),
      is_popup_(is_popup) {
  frames_ = std::make_unique<FrameTree>(this, id);
  load_state_ = std::make_unique<LoadState>();
}

void BrowserImpl::Attach() {
  g_object_set_data(G_OBJECT(widget_), kBrowserKey, this);
  if (web_view_) {
    AttachWebViewSignals(this);
    page_dialogs_ = std::make_unique<PageDialogs>(
        web_view_, [this] { OnLeaveQuestionShown(); },
        [this](bool leave) { OnLeaveQuestionAnswered(leave); });
    WebKitWebInspector* inspector = webkit_web_view_get_inspector(web_view_);
    g_signal_connect(inspector, "open-window", G_CALLBACK(OnOpenInspectorWindow), this);
    g_signal_connect(inspector, "attach", G_CALLBACK(OnAttachInspector), this);
    g_signal_connect(inspector, "closed", G_CALLBACK(OnInspectorClosed), this);
  }
  AddOpenBrowser(this);
  CefRefPtr<CefLifeSpanHandler> life = client_ ? client_->GetLifeSpanHandler() : nullptr;
  if (life) Guarded("OnAfterCreated", [&] { life->OnAfterCreated(this); });
}

BrowserImpl::~BrowserImpl() { g_object_unref(widget_); }

bool BrowserImpl::CanGoBack() { return web_view_ && webkit_web_view_can_go_back(web_view_); }
void BrowserImpl::GoBack() {
  if (web_view_) webkit_web_view_go_back(web_view_);
}
bool BrowserImpl::CanGoForward() {
  return web_view_ && webkit_web_view_can_go_forward(web_view_);
}
void BrowserImpl::GoForward() {
  if (web_view_) webkit_web_view_go_forward(web_view_);
}
bool BrowserImpl::IsLoading() { return web_view_ && webkit_web_view_is_loading(web_view_); }
void BrowserImpl::Reload() {
  if (web_view_) webkit_web_view_reload(web_view_);
}
void BrowserImpl::StopLoad() {
  if (web_view_) webkit_web_view_stop_loading(web_view_);
}

bool BrowserImpl::IsSame(CefRefPtr<CefBrowser> that) {
  return that && dynamic_cast<BrowserImpl*>(that.get()) == this;
}

FrameImpl* BrowserImpl::main_frame() const { return frames_->main(); }
CefRefPtr<CefFrame> BrowserImpl::GetMainFrame() { return frames_->main(); }
CefRefPtr<CefFrame> BrowserImpl::GetFocusedFrame() { return frames_->main(); }

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64_t identifier) {
  return frames_->Find(identifier).get();
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(const CefString& name) {
  return frames_->FindByName(name.ToString()).get();
}

size_t BrowserImpl::GetFrameCount() { return frames_->Count(); }

void BrowserImpl::GetFrameIdentifiers(std::vector<int64_t>& identifiers) {
  identifiers = frames_->Identifiers();
}

void BrowserImpl::GetFrameNames(std::vector<CefString>& names) { names = frames_->Names(); }

void BrowserImpl::SetFocus(bool focus) {
  if (focus && !is_closed()) gtk_widget_grab_focus(widget_);
}

cef_window_handle_t BrowserImpl::GetWindowHandle() {
  if (is_closed()) return 0;
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget_);
  if (!toplevel || !gtk_widget_is_toplevel(toplevel)) return 0;
  GdkWindow* window = gtk_widget_get_window(toplevel);
  return window && GDK_IS_X11_WINDOW(window) ? gdk_x11_window_get_xid(window) : 0;
}

// --- Close sequence --------------------------------------------------------------------
// TryCloseBrowser (from the window's CanClose) asks the page first (browser_impl_ask.cc) and
// answers false; once the page lets go, DoClose runs from a task; then, once every script requested before has finished, the window is
// asked to close again and this time TryCloseBrowser answers true.

bool BrowserImpl::TryCloseBrowser() {
  switch (close_state_) {
    case CloseState::kOpen:
      AskPageThenClose();
      return false;
    case CloseState::kAsking:
      // The person is being asked: the question stays as it is.
      if (page_dialogs_) page_dialogs_->PresentQuestion();
      return false;
    case CloseState::kClosing:
      return false;
    default:
      return true;
  }
}

void BrowserImpl::CloseBrowser(bool force_close) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&BrowserImpl::CloseBrowser, this, force_close));
    return;
  }
  if (!force_close) {
    if (close_state_ == CloseState::kOpen) AskPageThenClose();
    return;
  }
  // Forced: no question (an open one is answered "leave"), no dialog in the way.
  if (close_state_ != CloseState::kOpen && close_state_ != CloseState::kAsking) return;
  if (page_dialogs_) page_dialogs_->DismissAll();
  StopAskWatchdog();
  StartClose();
}

void BrowserImpl::StartClose() {
  close_state_ = CloseState::kClosing;
  CefPostTask(TID_UI, base::Bind(&BrowserImpl::RunDoClose, this));
}

void BrowserImpl::RunDoClose() {
  if (close_state_ != CloseState::kClosing) return;
  CefRefPtr<CefLifeSpanHandler> life = client_ ? client_->GetLifeSpanHandler() : nullptr;
  bool handled = life && GuardedOr("DoClose", false, [&] { return life->DoClose(this); });
  if (close_state_ != CloseState::kClosing) return;  // Destroyed meanwhile.
  close_state_ = CloseState::kClosable;
  if (!handled) CloseWhenScriptsDone();
}

void BrowserImpl::CloseWhenScriptsDone() {
  if (pending_scripts_.load() == 0) {
    FinishClose();
    return;
  }
  CefPostDelayedTask(TID_UI, base::Bind(&BrowserImpl::OnCloseWatchdog, id_, ++close_watchdog_),
                     kCloseWatchdogMs);
}

void BrowserImpl::OnCloseWatchdog(int browser_id, int generation) {
  CefRefPtr<BrowserImpl> self = OpenBrowser(browser_id);
  if (!self || self->close_watchdog_ != generation) return;
  LOG(WARNING) << "page scripts still running after " << kCloseWatchdogMs
               << " ms; closing anyway";
  self->FinishClose();
}

void BrowserImpl::FinishClose() {
  if (close_state_ != CloseState::kClosable) return;
  ++close_watchdog_;
  // Developer tools: tell WebKit's inspector first, while its view is still ours to show.
  if (inspector_) {
    WebKitWebInspector* inspector = inspector_;
    inspector_ = nullptr;
    webkit_web_inspector_close(inspector);
  }
  CefRefPtr<CefWindow> window = view_ ? view_->GetWindow() : nullptr;
  if (window) {
    window->Close();
  } else if (native_window_) {
    gtk_window_close(GTK_WINDOW(native_window_));
  } else {
    CefRefPtr<BrowserImpl> keep(this);
    Destroy();
    gtk_widget_destroy(widget_);
  }
}

void BrowserImpl::Destroy() {
  if (close_state_ == CloseState::kClosed) return;
  CefRefPtr<BrowserImpl> keep(this);
  close_state_ = CloseState::kClosed;
  ++close_watchdog_;
  StopAskWatchdog();
  page_dialogs_.reset();
  RemoveOpenBrowser(this);
  // Developer tools go with the browser they inspect, through their own close sequence.
  if (devtools_) {
    devtools_->inspector_ = nullptr;  // The inspector goes with this view.
    devtools_->CloseBrowser(true);
    devtools_ = nullptr;
  }
  CefRefPtr<CefLifeSpanHandler> life = client_ ? client_->GetLifeSpanHandler() : nullptr;
  if (life) Guarded("OnBeforeClose", [&] { life->OnBeforeClose(this); });
  if (web_view_) {
    DetachWebViewSignals(this);
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_inspector(web_view_), this);
  }
  g_object_set_data(G_OBJECT(widget_), kBrowserKey, nullptr);
  frames_->DetachAll();
}

void BrowserImpl::WaitUntilClosed() {
  CefRefPtr<BrowserImpl> keep(this);
  // Longer than the close watchdog: the sequence ends by itself before this gives up.
  const gint64 deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
  guint tick = g_timeout_add(50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (close_state_ != CloseState::kClosed && g_get_monotonic_time() < deadline)
    g_main_context_iteration(nullptr, TRUE);
  g_source_remove(tick);
}

// --- Scripts and messages ---------------------------------------------------------------

void BrowserImpl::RequestScript(const std::string& code, const std::string& script_url) {
  // Asked for while a main-frame load start is reported: it belongs to the new document.
  if (start_scripts_ && CefCurrentlyOn(TID_UI) && start_scripts_->Collect(code, script_url))
    return;
  pending_scripts_.fetch_add(1);
  if (!CefPostTask(TID_UI, base::Bind(&BrowserImpl::RunScript, this, code, script_url)))
    pending_scripts_.fetch_sub(1);
}

void BrowserImpl::RunScript(const std::string& code, const std::string& script_url) {
  // No web process to run it (the page's ended): the close does not wait for it.
  if (close_state_ == CloseState::kClosed || !web_view_ || (recovery_ && recovery_->gone())) {
    ScriptFinished();
    return;
  }
  AddRef();  // Released in OnScriptDone.
  webkit_web_view_evaluate_javascript(web_view_, code.data(), static_cast<gssize>(code.size()),
                                      nullptr, script_url.empty() ? nullptr : script_url.c_str(),
                                      nullptr, OnScriptDone, this);
}

void BrowserImpl::OnScriptDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* self = static_cast<BrowserImpl*>(data);
  GError* error = nullptr;
  JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result,
                                                               &error);
  if (value) g_object_unref(value);
  if (error) g_error_free(error);  // Script errors belong to the page's console.
  self->ScriptFinished();
  self->Release();
}

void BrowserImpl::RequestFrameScript(int64_t frame_id, const CefString& code,
                                     const CefString& script_url, int start_line) {
  CefRefPtr<CefProcessMessage> message =
      engine_messages::Encode(engine_messages::Execute{code, script_url, start_line});
  pending_scripts_.fetch_add(1);
  if (!CefPostTask(TID_UI, base::Bind(&BrowserImpl::RunFrameScript, this, frame_id, message)))
    pending_scripts_.fetch_sub(1);
}

void BrowserImpl::RunFrameScript(int64_t frame_id, CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<FrameImpl> frame = frames_->Find(frame_id);
  if (close_state_ == CloseState::kClosed || !web_view_ || !frame) {
    ScriptFinished();
    return;
  }
  AddRef();  // Released in OnFrameScriptDone.
  // The web process replies once the script has run (or WebKit, if nobody took the message).
  webkit_web_view_send_message_to_page(web_view_, ToUserMessage(frame_id, message), nullptr,
                                       OnFrameScriptDone, this);
}

void BrowserImpl::OnFrameScriptDone(GObject* source, GAsyncResult* result, gpointer data) {
  auto* self = static_cast<BrowserImpl*>(data);
  WebKitUserMessage* reply =
      webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(source), result, nullptr);
  if (reply) g_object_unref(reply);
  self->ScriptFinished();
  self->Release();
}

void BrowserImpl::ScriptFinished() {
  if (pending_scripts_.fetch_sub(1) == 1 && close_state_ == CloseState::kClosable)
    FinishClose();
}

void BrowserImpl::SendProcessMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&BrowserImpl::SendProcessMessage, this, frame_id, message));
    return;
  }
  if (!message) return;
  SendFrameMessage(message->GetName().ToString(),
                   FrameMessageToVariant(frame_id, message->GetArgumentList()));
}

void BrowserImpl::SendFrameMessage(const std::string& name, GVariant* parameters) {
  CEF_REQUIRE_UI_THREAD();
  if (close_state_ == CloseState::kClosed || !web_view_) {
    g_variant_unref(g_variant_ref_sink(parameters));
    return;
  }
  webkit_web_view_send_message_to_page(
      web_view_, webkit_user_message_new(name.c_str(), parameters), nullptr, nullptr, nullptr);
}

}  // namespace qvex_engine
