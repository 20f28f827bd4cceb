// BrowserImpl: the close sequence (DoClose, then the window once the scripts asked for before
// have run) and the scripts the browser runs in its pages. UI thread unless noted.
#include "browser/browser_impl.h"

#include "browser/browser_view_impl.h"
#include "browser/close/page_dialogs.h"
#include "browser/crash/web_process_recovery.h"
#include "browser/frame_impl.h"
#include "browser/frame_tree.h"
#include "browser/loads/start_scripts.h"
#include "browser/open_browsers.h"
#include "browser/window_impl.h"
#include "common/engine_messages.h"
#include "common/guarded.h"
#include "common/process_message_impl.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// How long a closing browser waits for scripts that were requested before its close (such as
// the page's unload call) before it goes anyway.
constexpr guint kCloseWatchdogMs = 1500;

// A process message for the frame `frame_id` as WebKit carries it to the page.
WebKitUserMessage* ToUserMessage(int64_t frame_id, CefRefPtr<CefProcessMessage> message) {
  return webkit_user_message_new(message->GetName().ToString().c_str(),
                                 FrameMessageToVariant(frame_id, message->GetArgumentList()));
}

}  // namespace

// TryCloseBrowser (from the window's CanClose) asks the page first (browser_impl_ask.cc) and
// answers false; once the page lets go, DoClose runs from a task; then, once every script
// requested before has finished, the window is asked to close again and this time
// TryCloseBrowser answers true. A DoClose that answers true holds the close: the browser stays
// (kHeld) until the client closes it with a forced CloseBrowser, which runs DoClose again.

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
    case CloseState::kHeld:
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
  // The client held the close in DoClose and now lets it go on.
  if (close_state_ == CloseState::kHeld) {
    StartClose();
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
  if (handled) {
    close_state_ = CloseState::kHeld;
    return;
  }
  close_state_ = CloseState::kClosable;
  CloseWhenScriptsDone();
}

void BrowserImpl::CloseWhenScriptsDone() {
  // Scripts the watchdog gave up on before (a hung unload) do not hold the close a second time.
  if (pending_scripts_.load() == 0 || gave_up_on_scripts_) {
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
  self->gave_up_on_scripts_ = true;
  self->FinishClose();
}

void BrowserImpl::RunWhenScriptsDone(CefRefPtr<CefTask> task) {
  if (!CefCurrentlyOn(TID_UI)) {
    CefPostTask(TID_UI, base::Bind(&BrowserImpl::RunWhenScriptsDone, this, task));
    return;
  }
  if (pending_scripts_.load() == 0 || gave_up_on_scripts_ || close_state_ == CloseState::kClosed) {
    CefPostTask(TID_UI, task);
    return;
  }
  scripts_done_tasks_.push_back(task);
  if (scripts_done_tasks_.size() == 1) {
    CefPostDelayedTask(TID_UI,
                       base::Bind(&BrowserImpl::OnScriptsDoneWatchdog, id_, ++scripts_watchdog_),
                       kCloseWatchdogMs);
  }
}

void BrowserImpl::OnScriptsDoneWatchdog(int browser_id, int generation) {
  CefRefPtr<BrowserImpl> self = OpenBrowser(browser_id);
  if (!self || self->scripts_watchdog_ != generation || self->scripts_done_tasks_.empty()) return;
  LOG(WARNING) << "page scripts still running after " << kCloseWatchdogMs
               << " ms; going on without them";
  self->gave_up_on_scripts_ = true;
  self->RunScriptsDoneTasks();
}

void BrowserImpl::RunScriptsDoneTasks() {
  ++scripts_watchdog_;
  std::vector<CefRefPtr<CefTask>> tasks;
  tasks.swap(scripts_done_tasks_);
  for (CefRefPtr<CefTask>& task : tasks) CefPostTask(TID_UI, task);
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

// --- Scripts -----------------------------------------------------------------------------

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
  if (pending_scripts_.fetch_sub(1) != 1) return;
  if (!scripts_done_tasks_.empty()) RunScriptsDoneTasks();
  if (close_state_ == CloseState::kClosable) FinishClose();
}

}  // namespace qvex_engine
