// A script context for tests: a standalone JavaScriptCore global context (no page, no display)
// wrapped as the port's V8ContextImpl, on a thread recorded as the renderer thread.
#ifndef QVEX_TESTS_UNIT_ENGINE_JS_TEST_CONTEXT_H_
#define QVEX_TESTS_UNIT_ENGINE_JS_TEST_CONTEXT_H_

#include <JavaScriptCore/JavaScript.h>

#include <string>

#include "common/engine_state.h"
#include "renderer/v8_context_impl.h"
#include "renderer/v8_value_impl.h"

// Exported by JavaScriptCore for tests; a full collection before it returns.
extern "C" void JSSynchronousGarbageCollectForDebugging(JSContextRef ctx);

namespace qvex_engine {

class JsTestContext {
 public:
  explicit JsTestContext(CefRefPtr<CefBrowser> browser = nullptr,
                         CefRefPtr<CefFrame> frame = nullptr) {
    RecordMainThread(TID_RENDERER);
    // One group (one VM) for all, as a web page's frames share one.
    static JSContextGroupRef group = JSContextGroupCreate();
    JSGlobalContextRef global = JSGlobalContextCreateInGroup(group, nullptr);
    context_ = new V8ContextImpl(global, browser, frame);
    JSGlobalContextRelease(global);  // The context holds its own reference.
  }

  V8ContextImpl* get() const { return context_.get(); }
  JSGlobalContextRef js() const { return context_->js(); }

  // Runs `code` whether or not the context is still valid; returns the result as a value,
  // or a string "THREW: ..." when it threw.
  CefRefPtr<CefV8Value> Run(const std::string& code) {
    JSStringRef script = JSStringCreateWithUTF8CString(code.c_str());
    JSValueRef exception = nullptr;
    JSValueRef result = JSEvaluateScript(js(), script, nullptr, nullptr, 1, &exception);
    JSStringRelease(script);
    if (exception)
      return CefV8Value::CreateString("THREW: " + ExceptionText(js(), exception).ToString());
    return V8ValueImpl::FromJS(context_.get(), js(), result);
  }

  void CollectGarbage() { JSSynchronousGarbageCollectForDebugging(js()); }

  std::string RunString(const std::string& code) {
    return Run(code)->GetStringValue().ToString();
  }

 private:
  CefRefPtr<V8ContextImpl> context_;
};

// A handler that records its last call and answers with a fixed result.
class RecordingHandler : public CefV8Handler {
 public:
  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    ++calls;
    last_name = name;
    last_this = object;
    last_arguments = arguments;
    current = CefV8Context::GetCurrentContext();
    retval = result;
    exception = throw_text;
    return handled;
  }

  int calls = 0;
  CefString last_name;
  CefRefPtr<CefV8Value> last_this;
  CefV8ValueList last_arguments;
  CefRefPtr<CefV8Context> current;
  CefRefPtr<CefV8Value> result;
  CefString throw_text;
  bool handled = true;

 private:
  IMPLEMENT_REFCOUNTING(RecordingHandler);
};

}  // namespace qvex_engine

#endif  // QVEX_TESTS_UNIT_ENGINE_JS_TEST_CONTEXT_H_
