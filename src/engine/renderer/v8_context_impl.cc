// V8ContextImpl, the table of live contexts and the stack of current contexts.
#include "renderer/v8_context_impl.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/js_string.h"
#include "renderer/v8_value_impl.h"

namespace qvex_engine {

namespace {

struct StackEntry {
  V8ContextImpl* context;
  bool entered;
};

// Both are leaked on purpose: WebKit may still finalize frames while the process exits, after
// static destructors would have run. Keys are retained global contexts (see the constructor).
std::unordered_map<JSGlobalContextRef, V8ContextImpl*>& LiveContexts() {
  static auto* live = new std::unordered_map<JSGlobalContextRef, V8ContextImpl*>();
  return *live;
}

std::vector<StackEntry>& Stack() {
  static auto* stack = new std::vector<StackEntry>();
  return *stack;
}

int g_last_id = 0;

JSValueRef GetProperty(JSContextRef ctx, JSValueRef object, const char* name) {
  if (!object || !JSValueIsObject(ctx, object)) return nullptr;
  ScopedJSString key(name);
  JSValueRef exception = nullptr;
  JSValueRef value =
      JSObjectGetProperty(ctx, JSValueToObject(ctx, object, nullptr), key.get(), &exception);
  return exception ? nullptr : value;
}

}  // namespace

V8ContextImpl::V8ContextImpl(JSGlobalContextRef global, CefRefPtr<CefBrowser> browser,
                             CefRefPtr<CefFrame> frame)
    : global_(JSGlobalContextRetain(global)),
      browser_(browser),
      frame_(frame),
      id_(++g_last_id) {
  LiveContexts()[global_] = this;
}

V8ContextImpl::~V8ContextImpl() {
  // The table and the global context belong to the renderer thread.
  JSGlobalContextRef global = global_;
  const V8ContextImpl* self = this;
  auto cleanup = [global, self] {
    auto& live = LiveContexts();
    auto it = live.find(global);
    if (it != live.end() && it->second == self) live.erase(it);
    JSGlobalContextRelease(global);
  };
  if (CefCurrentlyOn(TID_RENDERER)) {
    cleanup();
  } else {
    CefPostTask(TID_RENDERER, base::RepeatingClosure(cleanup));
  }
}

V8ContextImpl* V8ContextImpl::FromJS(JSContextRef ctx) {
  if (!ctx) return nullptr;
  auto& live = LiveContexts();
  auto it = live.find(JSContextGetGlobalContext(ctx));
  return it == live.end() ? nullptr : it->second;
}

void V8ContextImpl::MarkReleased() {
  valid_ = false;
  auto& live = LiveContexts();
  auto it = live.find(global_);
  if (it != live.end() && it->second == this) live.erase(it);
}

JSValueRef V8ContextImpl::Evaluate(const CefString& code, const CefString& url, int start_line,
                                   JSValueRef* exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (exception) *exception = nullptr;
  if (!valid_) return nullptr;
  ScopedCurrentContext scope(this, true);
  ScopedJSString script(code);
  ScopedJSString source(url);
  JSValueRef thrown = nullptr;
  // JavaScriptCore counts lines from 1 and clamps anything lower.
  JSValueRef result = JSEvaluateScript(global_, script.get(), nullptr,
                                       url.empty() ? nullptr : source.get(),
                                       std::max(start_line, 1), &thrown);
  if (thrown) {
    if (exception) *exception = thrown;
    return nullptr;
  }
  return result;
}

void V8ContextImpl::ReportToConsole(JSValueRef exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSValueRef console = GetProperty(global_, JSContextGetGlobalObject(global_), "console");
  JSValueRef error = GetProperty(global_, console, "error");
  if (!error || !JSValueIsObject(global_, error)) return;
  JSObjectRef function = JSValueToObject(global_, error, nullptr);
  if (!JSObjectIsFunction(global_, function)) return;
  JSObjectCallAsFunction(global_, function, JSValueToObject(global_, console, nullptr), 1,
                         &exception, nullptr);
}

CefRefPtr<CefV8Value> V8ContextImpl::GetGlobal() {
  CEF_REQUIRE_RENDERER_THREAD();
  return V8ValueImpl::FromJS(this, global_, JSContextGetGlobalObject(global_));
}

bool V8ContextImpl::Enter() {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!valid_) return false;
  AddRef();  // Held while entered.
  Stack().push_back({this, true});
  return true;
}

bool V8ContextImpl::Exit() {
  CEF_REQUIRE_RENDERER_THREAD();
  auto& stack = Stack();
  if (stack.empty() || stack.back().context != this || !stack.back().entered) return false;
  stack.pop_back();
  Release();
  return true;
}

bool V8ContextImpl::IsSame(CefRefPtr<CefV8Context> that) { return that.get() == this; }

bool V8ContextImpl::Eval(const CefString& code, const CefString& script_url, int start_line,
                         CefRefPtr<CefV8Value>& retval, CefString& exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  retval = nullptr;
  if (!valid_) {
    exception = "the context is released";
    return false;
  }
  JSValueRef thrown = nullptr;
  JSValueRef result = Evaluate(code, script_url, start_line, &thrown);
  if (thrown) {
    exception = ExceptionText(global_, thrown);
    return false;
  }
  retval = V8ValueImpl::FromJS(this, global_, result);
  return true;
}

ScopedCurrentContext::ScopedCurrentContext(V8ContextImpl* context, bool entered)
    : context_(context) {
  Stack().push_back({context, entered});
}

ScopedCurrentContext::~ScopedCurrentContext() {
  auto& stack = Stack();
  DCHECK(!stack.empty() && stack.back().context == context_.get());
  if (!stack.empty()) stack.pop_back();
}

CefString ExceptionText(JSContextRef ctx, JSValueRef exception) {
  std::string text = ValueToString(ctx, exception).ToString();
  JSValueRef url = GetProperty(ctx, exception, "sourceURL");
  JSValueRef line = GetProperty(ctx, exception, "line");
  if (url && JSValueIsString(ctx, url)) text += " at " + ValueToString(ctx, url).ToString();
  if (line && JSValueIsNumber(ctx, line))
    text += ":" + std::to_string(static_cast<long>(JSValueToNumber(ctx, line, nullptr)));
  return text;
}

}  // namespace qvex_engine

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  auto& stack = qvex_engine::Stack();
  return stack.empty() ? nullptr : stack.back().context;
}

CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  auto& stack = qvex_engine::Stack();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (it->entered) return it->context;
  }
  return stack.empty() ? nullptr : stack.back().context;
}

bool CefV8Context::InContext() { return !qvex_engine::Stack().empty(); }
