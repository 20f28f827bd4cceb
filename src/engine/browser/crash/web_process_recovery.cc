// WebProcessRecovery: reloads with back-off, then the crash panel. UI thread.
#include "browser/crash/web_process_recovery.h"

#include <string>

#include "browser/browser_impl.h"
#include "browser/crash/crash_panel.h"
#include "include/cef_client.h"
#include "include/cef_request_handler.h"
#include "browser/loads/load_signals.h"
#include "common/guarded.h"
#include "browser/crash/renderer_settings.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

const char* WhatHappened(WebKitWebProcessTerminationReason reason) {
  switch (reason) {
    case WEBKIT_WEB_PROCESS_CRASHED: return "crashed";
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT: return "ran out of memory";
    default: return "ended";
  }
}

cef_termination_status_t StatusOf(WebKitWebProcessTerminationReason reason) {
  switch (reason) {
    case WEBKIT_WEB_PROCESS_CRASHED: return TS_PROCESS_CRASHED;
    case WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT: return TS_PROCESS_OOM;
    case WEBKIT_WEB_PROCESS_TERMINATED_BY_API: return TS_PROCESS_WAS_KILLED;
    default: return TS_ABNORMAL_TERMINATION;
  }
}

}  // namespace

WebProcessRecovery::WebProcessRecovery(BrowserImpl* browser) : browser_(browser) {}

WebProcessRecovery::~WebProcessRecovery() = default;

void WebProcessRecovery::OnTerminated(WebKitWebProcessTerminationReason reason) {
  CEF_REQUIRE_UI_THREAD();
  ++generation_;
  gone_ = true;
  // What the gone process held: its sub-frames, and the queries its pages were waiting for.
  OnWebProcessGone(browser_);
  CefRefPtr<CefClient> client = browser_->GetClient();
  CefRefPtr<CefRequestHandler> handler = client ? client->GetRequestHandler() : nullptr;
  if (handler) {
    CefRefPtr<CefBrowser> browser(browser_);
    Guarded("OnRenderProcessTerminated",
            [&] { handler->OnRenderProcessTerminated(browser, StatusOf(reason)); });
  }
  const CrashBackoff::Decision decision =
      backoff_.OnEnded(g_get_monotonic_time() / G_TIME_SPAN_MILLISECOND);
  LOG(WARNING) << "web process " << WhatHappened(reason) << "; "
               << (decision.reload ? "reloading in " + std::to_string(decision.delay_ms) + " ms"
                                   : std::string("not reloading (crash panel shown)"))
               << "; " << DescribeRendererSettings(webkit_web_view_get_settings(
                              browser_->web_view()));
  if (!decision.reload) {
    ShowPanel(reason);
    return;
  }
  // Never from inside the signal: WebKit is still taking the old process down.
  CefPostDelayedTask(TID_UI, base::Bind(&WebProcessRecovery::ReloadTask,
                                        CefRefPtr<BrowserImpl>(browser_), generation_),
                     decision.delay_ms);
}

void WebProcessRecovery::ReloadTask(CefRefPtr<BrowserImpl> browser, int generation) {
  WebProcessRecovery* self = browser->recovery();
  if (!self || browser->is_closing() || generation != self->generation_) return;
  self->Reload();
}

void WebProcessRecovery::Reload() {
  ++generation_;
  gone_ = false;
  panel_.reset();
  if (browser_->web_view()) webkit_web_view_reload(browser_->web_view());
}

void WebProcessRecovery::ShowPanel(WebKitWebProcessTerminationReason reason) {
  if (panel_ || browser_->is_closing()) return;
  const gchar* uri = webkit_web_view_get_uri(browser_->web_view());
  panel_ = std::make_unique<CrashPanel>(
      GTK_WIDGET(browser_->web_view()), WhatHappened(reason), uri ? uri : "", [this] {
        backoff_.Reset();
        Reload();
      });
}

}  // namespace qvex_engine
