// JavaScriptCore string conversions.
#include "renderer/js_string.h"

#include <string>

namespace qvex_engine {

namespace {

static_assert(sizeof(JSChar) == sizeof(char16_t), "JSChar is a UTF-16 code unit");

// JavaScriptCore's own UTF-8 conversions cost less than the UTF-16 ones only for a few
// characters (and keep them at a byte each); beyond that they are several times slower.
constexpr size_t kShortText = 16;

JSStringRef CreateJSString(const CefString& value) {
  const std::string* utf8 = value.PlainUtf8();
  if (utf8 && utf8->size() <= kShortText) return JSStringCreateWithUTF8CString(utf8->c_str());
  return JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(value.c_str()),
                                      value.length());
}

}  // namespace

ScopedJSString::ScopedJSString(const CefString& value) : string_(CreateJSString(value)) {}

ScopedJSString::ScopedJSString(const char* ascii)
    : string_(JSStringCreateWithUTF8CString(ascii)) {}

CefString FromJSString(JSStringRef string) {
  if (!string) return CefString();
  const size_t length = JSStringGetLength(string);
  if (length == 0) return CefString();
  // The text usually leaves the process as UTF-8, so it is kept as UTF-8. A short text comes
  // straight from JavaScriptCore, which stops at a lone surrogate (the shorter result shows
  // it); any other is narrowed here.
  if (length <= kShortText) {
    char buffer[3 * kShortText + 1];
    const size_t written = JSStringGetUTF8CString(string, buffer, sizeof buffer);
    if (written > 0) {
      CefString text(std::string(buffer, written - 1));
      if (text.length() == length) return text;
    }
  }
  std::string utf8;
  CefString::AppendUtf8(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(string)),
                        length, &utf8);
  return CefString(std::move(utf8));
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
