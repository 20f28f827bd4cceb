// JavaScriptCore string conversions.
#include "renderer/js_string.h"

#include <memory>
#include <string>

namespace qvex_engine {

namespace {
static_assert(sizeof(JSChar) == sizeof(char16_t), "JSChar is a UTF-16 code unit");
}  // namespace

namespace {

JSStringRef CreateJSString(const CefString& value) {
  // UTF-8 without NUL or surrogates goes in as it is; JavaScriptCore keeps ASCII at a byte a
  // character.
  if (const std::string* utf8 = value.PlainUtf8())
    return JSStringCreateWithUTF8CString(utf8->c_str());
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
  // As UTF-8 first: a string JavaScriptCore holds at a byte a character is not widened, and
  // the text usually leaves the process as UTF-8. JavaScriptCore stops at a lone surrogate,
  // which the shorter result shows; such text goes unit for unit.
  const size_t capacity = JSStringGetMaximumUTF8CStringSize(string);
  char small[256];
  std::unique_ptr<char[]> large(capacity > sizeof small ? new char[capacity] : nullptr);
  char* buffer = large ? large.get() : small;
  const size_t written = JSStringGetUTF8CString(string, buffer, capacity);
  if (written > 0) {
    CefString text(std::string(buffer, written - 1));
    if (text.length() == length) return text;
  }
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
