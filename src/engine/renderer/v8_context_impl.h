// V8ContextImpl: one frame's script context, a JavaScriptCore global context; with the table of
// live contexts and the stack of current ones. Renderer thread only.
#ifndef QVEX_ENGINE_RENDERER_V8_CONTEXT_IMPL_H_
#define QVEX_ENGINE_RENDERER_V8_CONTEXT_IMPL_H_

#include <JavaScriptCore/JavaScript.h>

#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace qvex_engine {

class V8ContextImpl : public CefV8Context {
 public:
  // Wraps `global` (retained for the object's life, so its address cannot be reused while
  // the object exists) and makes it the live context of that global object. `browser` and
  // `frame` may be null for a context that belongs to no page.
  V8ContextImpl(JSGlobalContextRef global, CefRefPtr<CefBrowser> browser,
                CefRefPtr<CefFrame> frame);

  // The live context whose global object `ctx` runs in, or null (never created, or released).
  static V8ContextImpl* FromJS(JSContextRef ctx);

  // The context is released: it leaves the table, IsValid turns false, and nothing runs in
  // it any more. A later context may reuse the same global object.
  void MarkReleased();

  JSGlobalContextRef js() const { return global_; }
  // Unique in this process, never 0.
  int id() const { return id_; }

  // Runs `code` as a script of this context, entered; null if it threw (the exception in
  // `exception` when given) or the context is released. Results are not protected from
  // collection: use them at once.
  JSValueRef Evaluate(const CefString& code, const CefString& url, int start_line,
                      JSValueRef* exception);
  // Writes an exception to this context's console (console.error), as an uncaught one would be.
  void ReportToConsole(JSValueRef exception);

  // CefV8Context
  bool IsValid() override { return valid_; }
  CefRefPtr<CefBrowser> GetBrowser() override { return browser_; }
  CefRefPtr<CefFrame> GetFrame() override { return frame_; }
  CefRefPtr<CefV8Value> GetGlobal() override;
  bool Enter() override;
  bool Exit() override;
  bool IsSame(CefRefPtr<CefV8Context> that) override;
  bool Eval(const CefString& code, const CefString& script_url, int start_line,
            CefRefPtr<CefV8Value>& retval, CefString& exception) override;

 private:
  friend class ScopedCurrentContext;
  ~V8ContextImpl() override;

  const JSGlobalContextRef global_;
  const CefRefPtr<CefBrowser> browser_;
  const CefRefPtr<CefFrame> frame_;
  const int id_;
  bool valid_ = true;

  IMPLEMENT_REFCOUNTING(V8ContextImpl);
};

// Makes a context current while C++ code runs for it: a native function's own context during
// the call (`entered` false), or a context entered to run script in it (`entered` true).
class ScopedCurrentContext {
 public:
  ScopedCurrentContext(V8ContextImpl* context, bool entered);
  ~ScopedCurrentContext();
  ScopedCurrentContext(const ScopedCurrentContext&) = delete;
  ScopedCurrentContext& operator=(const ScopedCurrentContext&) = delete;

 private:
  CefRefPtr<V8ContextImpl> context_;
};

// The text of a script exception ("TypeError: x is not a function"), never throwing.
CefString ExceptionText(JSContextRef ctx, JSValueRef exception);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_V8_CONTEXT_IMPL_H_
