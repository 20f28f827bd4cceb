// StartScriptRunner: start-up scripts evaluated under the URL they were asked for.
#include "renderer/start_script_runner.h"

#include "common/engine_messages.h"
#include "include/wrapper/cef_helpers.h"
#include "renderer/js_string.h"

namespace qvex_engine {

namespace {

JSValueRef Run(JSContextRef ctx, JSObjectRef, JSObjectRef, size_t argc, const JSValueRef argv[],
               JSValueRef* thrown) {
  CEF_REQUIRE_RENDERER_THREAD();
  if (argc < 2 || !JSValueIsString(ctx, argv[0]) || !JSValueIsString(ctx, argv[1]))
    return JSValueMakeUndefined(ctx);
  JSStringRef code = JSValueToStringCopy(ctx, argv[0], nullptr);
  JSStringRef url = JSValueToStringCopy(ctx, argv[1], nullptr);
  JSValueRef exception = nullptr;
  JSEvaluateScript(ctx, code, nullptr, JSStringGetLength(url) ? url : nullptr, 1, &exception);
  JSStringRelease(code);
  JSStringRelease(url);
  // Thrown on out of the one-shot, uncaught: WebKit reports it on the page's console with the
  // place the error itself names (a report from here would name the one-shot's).
  if (exception) *thrown = exception;
  return JSValueMakeUndefined(ctx);
}

}  // namespace

void StartScriptRunner::InstallInto(V8ContextImpl* context) {
  CEF_REQUIRE_RENDERER_THREAD();
  JSGlobalContextRef ctx = context->js();
  JSObjectRef global = JSContextGetGlobalObject(ctx);
  ScopedJSString name(engine_messages::kStartScriptRunner);
  // A pop-up's first real document reuses the global object of its initial empty one.
  if (JSObjectHasProperty(ctx, global, name.get())) return;
  JSObjectSetProperty(ctx, global, name.get(),
                      JSObjectMakeFunctionWithCallback(ctx, name.get(), Run),
                      kJSPropertyAttributeReadOnly | kJSPropertyAttributeDontEnum |
                          kJSPropertyAttributeDontDelete,
                      nullptr);
}

}  // namespace qvex_engine
