// RenderFrame: frame operations run as script in the frame's own context (editing commands
// in the port's own script world).
#include "renderer/render_frame.h"

#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/js_string.h"
#include "renderer/render_browser.h"

namespace qvex_engine {

RenderFrame::RenderFrame(WebKitFrame* frame, CefRefPtr<RenderBrowser> browser)
    : frame_(frame),
      browser_(browser),
      id_(webkit_frame_is_main_frame(frame) ? browser->GetIdentifier()
                                             : static_cast<int64_t>(webkit_frame_get_id(frame))),
      is_main_(webkit_frame_is_main_frame(frame)) {}

void RenderFrame::Detach() {
  frame_ = nullptr;
  context_ = nullptr;
}

bool RenderFrame::IsFocused() {
  CefRefPtr<CefFrame> focused = browser_->GetFocusedFrame();
  return focused && focused->GetIdentifier() == id_;
}

CefString RenderFrame::GetName() {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!context_) return CefString();
  JSValueRef name = context_->Evaluate("window.name", CefString(), 1, nullptr);
  return name ? ValueToString(context_->js(), name) : CefString();
}

CefString RenderFrame::GetURL() {
  const char* uri = frame_ ? webkit_frame_get_uri(frame_) : nullptr;
  return CefString(uri ? uri : "");
}

CefRefPtr<CefFrame> RenderFrame::GetParent() {
  CEF_REQUIRE_RENDERER_THREAD();
  if (is_main_ || !context_) return nullptr;
  JSValueRef parent = context_->Evaluate("window.parent", CefString(), 1, nullptr);
  CefRefPtr<RenderFrame> found = parent ? browser_->FrameOfWindow(context_->js(), parent) : nullptr;
  return found && found.get() != this ? found.get() : nullptr;
}

CefRefPtr<CefBrowser> RenderFrame::GetBrowser() { return browser_.get(); }

void RenderFrame::LoadURL(const CefString& url) {
  CallWithString("(function (url) { location.href = url; })", url);
}

void RenderFrame::ExecuteJavaScript(const CefString& code, const CefString& script_url,
                                    int start_line) {
  if (!CefCurrentlyOn(TID_RENDERER)) {
    CefPostTask(TID_RENDERER, base::Bind(&RenderFrame::ExecuteJavaScript, this, code,
                                         script_url, start_line));
    return;
  }
  CefRefPtr<CefV8Context> context = GetV8Context();
  if (!context) return;
  auto* impl = static_cast<V8ContextImpl*>(context.get());
  JSValueRef exception = nullptr;
  impl->Evaluate(code, script_url, start_line, &exception);
  // Uncaught, as far as the page can tell: it belongs on the page's console.
  if (exception) impl->ReportToConsole(exception);
}

CefRefPtr<CefV8Context> RenderFrame::GetV8Context() {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!context_ && frame_) {
    // Asking WebKit for the global context creates the window object, which announces the
    // new context (window-object-cleared) before this returns.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    webkit_frame_get_javascript_context_for_script_world(frame_,
                                                         webkit_script_world_get_default());
    G_GNUC_END_IGNORE_DEPRECATIONS
  }
  return context_.get();
}

void RenderFrame::SendProcessMessage(CefProcessId target_process,
                                     CefRefPtr<CefProcessMessage> message) {
  if (target_process == PID_BROWSER) browser_->SendProcessMessage(id_, message);
}

void RenderFrame::SendFrameMessage(const std::string& name, GVariant* parameters) {
  browser_->SendFrameMessage(name, parameters);
}

void RenderFrame::CallWithString(const char* source, const CefString& argument) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!context_) return;
  JSContextRef ctx = context_->js();
  JSValueRef function = context_->Evaluate(source, CefString(), 1, nullptr);
  if (!function || !JSValueIsObject(ctx, function)) return;
  ScopedCurrentContext scope(context_.get(), true);
  JSValueRef arg = MakeJSString(ctx, argument);
  JSObjectCallAsFunction(ctx, JSValueToObject(ctx, function, nullptr), nullptr, 1, &arg,
                         nullptr);
}

void RenderFrame::EditingCommand(const char* command) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!frame_) return;
  // The port's own script world: its document is the frame's, with the frame's editor, but
  // none of the page's script is in it (a page that replaced or wraps execCommand sees
  // nothing of this).
  static WebKitScriptWorld* const world = webkit_script_world_new_with_name("qvex-engine");
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  JSGlobalContextRef ctx = webkit_frame_get_javascript_context_for_script_world(frame_, world);
  G_GNUC_END_IGNORE_DEPRECATIONS
  if (!ctx) return;
  const std::string source = std::string("document.execCommand('") + command + "')";
  ScopedJSString code(source.c_str());
  JSValueRef exception = nullptr;
  JSValueRef done = JSEvaluateScript(ctx, code.get(), nullptr, nullptr, 1, &exception);
  if (exception || !done || !JSValueToBoolean(ctx, done))
    LOG(WARNING) << "editing command " << command << ": the frame's editor refused it";
}

}  // namespace qvex_engine
