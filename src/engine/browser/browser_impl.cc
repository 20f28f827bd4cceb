// BrowserImpl: life and process messages of one UI-process browser (its close sequence and
// scripts are in close/browser_impl_close.cc, asking the page in close/browser_impl_ask.cc).
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

const char kBrowserKey[] = "qvex-browser";

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

// --- Messages ------------------------------------------------------------------------

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
