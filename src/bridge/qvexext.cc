// QvexExt: registration of the page's callbacks and posted deliveries.
#include "bridge/qvexext.h"

#include "app/browser_events.h"
#include "bridge/native_names.h"
#include "include/base/cef_bind.h"
#include "include/cef_task.h"
#include "include/wrapper/cef_helpers.h"

int32_t QvexExt::count = 10;

QvexExt::QvexExt() { count = 10; }

QvexExt::~QvexExt() {
  callbackId.clear();
  jsContext = nullptr;
  jsErrCallback = nullptr;
  jsCallback = nullptr;
}

bool QvexExt::Execute(const CefString& name, CefRefPtr<CefV8Value> object,
                      const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                      CefString& exception) {
  CEF_REQUIRE_RENDERER_THREAD();
  static const CefString kRegisterCallBack(native_names::kRegisterCallBack);  // Built once: a hot path.
  if (name != kRegisterCallBack) {
    return be.onJsCall(this, name, object, arguments, retval, exception);
  }
  // Three functions are the caller's part; anything else is not a registration.
  if (arguments.size() < 3) return false;
  for (size_t i = 0; i < 3; ++i) {
    if (!arguments[i] || !arguments[i]->IsFunction()) return false;
  }
  jsCallback = arguments[0];
  jsErrCallback = arguments[1];
  jsContext = CefV8Context::GetCurrentContext();
  ++count;
  callbackId = std::to_string(count);
  postJSFun(callJSFun, jsContext, arguments[2], callbackId);
  return true;
}

void QvexExt::sendToJs(std::string text) {
  if (jsContext && jsCallback) postJSFun(callJSFun, jsContext, jsCallback, text);
}

void QvexExt::sendErrJs(std::string text) {
  if (jsContext && jsErrCallback) postJSFun(callJSFun, jsContext, jsErrCallback, text);
}

void postJSFun(void (*deliver)(CefRefPtr<CefV8Context>, CefRefPtr<CefV8Value>, std::string),
               CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
               const std::string& text) {
  CefPostTask(TID_RENDERER, base::Bind(deliver, context, function, text));
}

void callJSFun(CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
               std::string text) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (!context || !function || !function->IsFunction()) return;
  CefV8ValueList args;
  args.push_back(CefV8Value::CreateString(text));
  // The result and any exception the page function raised are of no interest here.
  function->ExecuteFunctionWithContext(context, nullptr, args);
}
