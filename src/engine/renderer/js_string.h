// JavaScriptCore strings to and from CefString, unit for unit (NUL and lone surrogates cross
// intact). Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_JS_STRING_H_
#define QVEX_ENGINE_RENDERER_JS_STRING_H_

#include <JavaScriptCore/JavaScript.h>

#include "include/internal/cef_string.h"

namespace qvex_engine {

// Owns one JSStringRef.
class ScopedJSString {
 public:
  explicit ScopedJSString(const CefString& value);
  explicit ScopedJSString(const char* ascii);
  ~ScopedJSString() { JSStringRelease(string_); }
  ScopedJSString(const ScopedJSString&) = delete;
  ScopedJSString& operator=(const ScopedJSString&) = delete;

  JSStringRef get() const { return string_; }

 private:
  JSStringRef string_;
};

CefString FromJSString(JSStringRef string);

// ToString of any value (empty when that throws).
CefString ValueToString(JSContextRef ctx, JSValueRef value);

// A string value in `ctx`.
JSValueRef MakeJSString(JSContextRef ctx, const CefString& value);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_JS_STRING_H_
