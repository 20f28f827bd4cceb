// RenderProcess: web-extension signals -> CefRenderProcessHandler events. Every handler here
// runs on the web process's main thread (TID_RENDERER).
#include "renderer/render_process.h"

#include "common/engine_messages.h"
#include "common/engine_state.h"
#include "common/guarded.h"
#include "common/process_message_impl.h"
#include "include/base/cef_logging.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/console_hook.h"
#include "renderer/console_log.h"
#include "renderer/extension_registry.h"
#include "renderer/frame_reports.h"
#include "renderer/start_script_runner.h"

namespace qvex_engine {

namespace {

WebKitWebExtension* g_extension = nullptr;
RenderProcess* g_process = nullptr;  // Leaked: WebKit may signal while the process exits.

}  // namespace

void RenderProcess::SetWebExtension(WebKitWebExtension* extension) { g_extension = extension; }

int RenderProcess::Start(CefRefPtr<CefApp> app) {
  if (g_process) return 0;
  RecordMainThread(TID_RENDERER);
  g_process = new RenderProcess(app);
  RenderBrowser::SetFrameFinalizedNotify(OnFrameFinalized);
  if (g_extension)
    g_signal_connect(g_extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(OnWindowObjectCleared), nullptr);
  if (g_process->handler_)
    Guarded("OnWebKitInitialized", [] { g_process->handler_->OnWebKitInitialized(); });
  return 0;
}

CefRefPtr<RenderBrowser> RenderProcess::BrowserById(int id) {
  if (!g_process) return nullptr;
  for (auto& entry : g_process->browsers_) {
    if (entry.second->GetIdentifier() == id) return entry.second;
  }
  return nullptr;
}

RenderProcess::RenderProcess(CefRefPtr<CefApp> app)
    : app_(app), handler_(app ? app->GetRenderProcessHandler() : nullptr) {}

CefRefPtr<RenderBrowser> RenderProcess::BrowserFor(WebKitWebPage* page) {
  auto it = browsers_.find(page);
  if (it != browsers_.end()) return it->second;
  CefRefPtr<RenderBrowser> browser = new RenderBrowser(page);
  browsers_[page] = browser;
  g_object_weak_ref(G_OBJECT(page), OnPageFinalized, nullptr);
  g_signal_connect(page, "user-message-received", G_CALLBACK(OnUserMessageReceived), nullptr);
  g_signal_connect(page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
  ConsoleLog::Attach(page);
  g_signal_connect(page, "document-loaded", G_CALLBACK(OnDocumentLoaded), nullptr);
  if (handler_) Guarded("OnBrowserCreated", [&] { handler_->OnBrowserCreated(browser); });
  return browser;
}

void RenderProcess::OnPageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  g_process->BrowserFor(page);
}

void RenderProcess::OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page,
                                          WebKitFrame* frame, gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  // The JavaScriptCore C API: it passes `this` to natives and strings as UTF-16 units, which
  // the GLib API cannot.
  JSGlobalContextRef global = webkit_frame_get_javascript_context_for_script_world(frame, world);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (!global) return;
  CefRefPtr<RenderBrowser> browser = g_process->BrowserFor(page);
  CefRefPtr<RenderFrame> render_frame = browser->FrameFor(frame);
  if (render_frame) g_process->ReplaceContext(browser, render_frame, global);
}

void RenderProcess::ReplaceContext(CefRefPtr<RenderBrowser> browser,
                                   CefRefPtr<RenderFrame> frame, JSGlobalContextRef global) {
  // Compared while the old context still holds its global object, so the address is its.
  const bool same_window = frame->context() && frame->context()->js() == global;
  ReleaseContext(browser, frame);
  CefRefPtr<V8ContextImpl> context = new V8ContextImpl(global, browser.get(), frame.get());
  frame->set_context(context);
  // Before any script, the extensions' included, can change what the window offers.
  if (!frame->IsMain()) browser->reports()->DocumentCreated(frame, same_window);
  ConsoleHook::InstallInto(global);
  if (frame->IsMain()) StartScriptRunner::InstallInto(context.get());
  ExtensionRegistry::Get()->InstallInto(context.get());
  if (!handler_) return;
  ScopedCurrentContext scope(context.get(), true);
  Guarded("OnContextCreated", [&] { handler_->OnContextCreated(browser, frame, context); });
}

void RenderProcess::ReleaseContext(CefRefPtr<RenderBrowser> browser,
                                   CefRefPtr<RenderFrame> frame) {
  CefRefPtr<V8ContextImpl> context = frame->context();
  if (!context) return;
  if (handler_) {
    ScopedCurrentContext scope(context.get(), true);
    Guarded("OnContextReleased", [&] { handler_->OnContextReleased(browser, frame, context); });
  }
  context->MarkReleased();
  frame->set_context(nullptr);
}

gboolean RenderProcess::OnUserMessageReceived(WebKitWebPage* page, WebKitUserMessage* message,
                                              gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  FollowCurrentSource();
  CefRefPtr<RenderBrowser> browser = g_process->BrowserFor(page);
  int64_t frame_id = 0;
  CefRefPtr<CefProcessMessage> cef_message =
      FrameMessageFromVariant(webkit_user_message_get_name(message),
                              webkit_user_message_get_parameters(message), &frame_id);
  // A frame that is gone gets nothing, as in CEF.
  CefRefPtr<RenderFrame> frame = browser->FrameById(frame_id ? frame_id : browser->GetIdentifier());
  if (engine_messages::IsEngineMessage(cef_message->GetName().ToString())) {
    Guarded("engine message", [&] { OnEngineMessage(message, cef_message, frame); });
    return TRUE;
  }
  if (!g_process->handler_) return FALSE;
  if (!frame) return TRUE;
  bool handled = false;
  Guarded("OnProcessMessageReceived", [&] {
    handled = g_process->handler_->OnProcessMessageReceived(browser, frame.get(), PID_BROWSER,
                                                             cef_message);
  });
  // FALSE lets WebKit answer the sender that nobody handled the message.
  return handled ? TRUE : FALSE;
}

void RenderProcess::OnEngineMessage(WebKitUserMessage* message,
                                    CefRefPtr<CefProcessMessage> cef_message,
                                    CefRefPtr<RenderFrame> frame) {
  namespace msg = engine_messages;
  const std::string name = cef_message->GetName().ToString();
  msg::Execute execute;
  msg::LoadUrl load_url;
  msg::Stop stop;
  msg::Settle settle;
  CefRefPtr<RenderBrowser> browser =
      frame ? static_cast<RenderBrowser*>(frame->GetBrowser().get()) : nullptr;
  if (msg::Decode(cef_message, &settle)) {
    if (browser)
      browser->reports()->Settle(message);
    else
      webkit_user_message_send_reply(message, webkit_user_message_new(name.c_str(), nullptr));
  } else if (msg::Decode(cef_message, &execute)) {
    if (frame) frame->ExecuteJavaScript(execute.code, execute.script_url, execute.start_line);
  } else if (msg::Decode(cef_message, &load_url)) {
    if (frame && !frame->IsMain()) browser->reports()->NavigationAsked(frame->GetIdentifier());
    if (frame) frame->LoadURL(load_url.url);
  } else if (msg::Decode(cef_message, &stop)) {
    CefRefPtr<V8ContextImpl> context = frame ? frame->context() : nullptr;
    if (context) context->Evaluate("window.stop()", CefString(), 1, nullptr);
  } else {
    msg::ReportMalformed(cef_message);
  }
  // The UI process waits for this, whatever became of the script (a closing browser waits for
  // its scripts).
  if (name == msg::kExecute)
    webkit_user_message_send_reply(message, webkit_user_message_new(name.c_str(), nullptr));
}

void RenderProcess::OnDocumentLoaded(WebKitWebPage* page, gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  // The UI process keeps the document's start-up scripts installed until it hears this.
  CefRefPtr<RenderBrowser> browser = g_process->BrowserFor(page);
  browser->SendProcessMessage(browser->GetIdentifier(),
                              engine_messages::Encode(engine_messages::MainDocumentParsed{}));
}

gboolean RenderProcess::OnSendRequest(WebKitWebPage* page, WebKitURIRequest* request,
                                      WebKitURIResponse* redirected_response, gpointer) {
  CEF_REQUIRE_RENDERER_THREAD();
  Guarded("send-request", [&] {
    g_process->BrowserFor(page)->reports()->RequestSent(request, redirected_response);
  });
  return FALSE;  // The request goes as it is.
}

void RenderProcess::OnFrameFinalized(gpointer data, GObject*) {
  CefRefPtr<RenderFrame> frame = static_cast<RenderFrame*>(data);
  CefRefPtr<RenderBrowser> browser = static_cast<RenderBrowser*>(frame->GetBrowser().get());
  g_process->ReleaseContext(browser, frame);
  frame->Detach();
  browser->RemoveFrame(frame.get());
  if (!frame->IsMain()) browser->reports()->FrameGone(frame->GetIdentifier());
}

void RenderProcess::OnPageFinalized(gpointer, GObject* page) {
  auto it = g_process->browsers_.find(reinterpret_cast<WebKitWebPage*>(page));
  if (it == g_process->browsers_.end()) return;
  CefRefPtr<RenderBrowser> browser = it->second;
  g_process->browsers_.erase(it);
  for (CefRefPtr<RenderFrame>& frame : browser->Detach()) {
    g_process->ReleaseContext(browser, frame);
    frame->Detach();
  }
  if (g_process->handler_) {
    Guarded("OnBrowserDestroyed", [&] { g_process->handler_->OnBrowserDestroyed(browser); });
  }
}

}  // namespace qvex_engine
