// JavaScriptCore string conversions.
#include "renderer/js_string.h"

namespace qvex_engine {

namespace {
static_assert(sizeof(JSChar) == sizeof(char16_t), "JSChar is a UTF-16 code unit");
}  // namespace

ScopedJSString::ScopedJSString(const CefString& value)
    : string_(JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(value.c_str()),
                                           value.length())) {}

ScopedJSString::ScopedJSString(const char* ascii)
    : string_(JSStringCreateWithUTF8CString(ascii)) {}

CefString FromJSString(JSStringRef string) {
  if (!string) return CefString();
  const size_t length = JSStringGetLength(string);
  if (length == 0) return CefString();
  const JSChar* units = JSStringGetCharactersPtr(string);
  return CefString(std::u16string(reinterpret_cast<const char16_t*>(units), length));
}

CefString ValueToString(JSContextRef ctx, JSValueRef value) {
  if (!value) return CefString();
  JSValueRef exception = nullptr;
  JSStringRef string = JSValueToStringCopy(ctx, value, &exception);
  if (!string) return CefString();
  CefString result = FromJSString(string);
  JSStringRelease(string);
  return result;
}

JSValueRef MakeJSString(JSContextRef ctx, const CefString& value) {
  ScopedJSString string(value);
  return JSValueMakeString(ctx, string.get());
}

}  // namespace qvex_engine
