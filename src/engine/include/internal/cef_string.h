// CefString: a UTF-16 string value at the boundary between the application and the port.
// Conversions from and to UTF-8 keep lone surrogates and NUL characters (WTF-8 style), so
// text crosses the port intact. Values are immutable and share their text, so a copy costs no
// more than a reference count (a query of many megabytes passes through several hands); any
// thread.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_

#include <cstddef>
#include <memory>
#include <string>

class CefString {
 public:
  CefString() = default;
  CefString(const char* utf8)
      : CefString(utf8 ? FromUtf8(utf8, std::char_traits<char>::length(utf8)) : std::u16string()) {}
  CefString(const std::string& utf8) : CefString(FromUtf8(utf8)) {}
  CefString(const char16_t* utf16) : CefString(std::u16string(utf16 ? utf16 : u"")) {}
  CefString(const std::u16string& utf16) : CefString(std::u16string(utf16)) {}
  CefString(std::u16string&& utf16)
      : str_(utf16.empty() ? nullptr
                           : std::make_shared<const std::u16string>(std::move(utf16))) {}
  CefString(const std::wstring& wide);

  std::string ToString() const { return ToUtf8(ToString16()); }
  std::wstring ToWString() const;
  const std::u16string& ToString16() const { return str_ ? *str_ : Empty(); }

  const char16_t* c_str() const { return ToString16().c_str(); }
  size_t length() const { return str_ ? str_->length() : 0; }
  size_t size() const { return length(); }
  bool empty() const { return !str_ || str_->empty(); }
  void clear() { str_.reset(); }

  bool operator==(const CefString& o) const {
    return str_ == o.str_ || ToString16() == o.ToString16();
  }
  bool operator!=(const CefString& o) const { return !(*this == o); }
  bool operator<(const CefString& o) const { return ToString16() < o.ToString16(); }

  // UTF-8 <-> UTF-16. Invalid UTF-8 bytes become U+FFFD; surrogate code points encoded in
  // UTF-8 (as ToUtf8 writes lone surrogates) decode back to the same unit.
  static std::u16string FromUtf8(const std::string& utf8) {
    return FromUtf8(utf8.data(), utf8.size());
  }
  static std::u16string FromUtf8(const char* utf8, size_t length);
  static std::string ToUtf8(const std::u16string& utf16) {
    return ToUtf8(utf16.data(), utf16.size());
  }
  static std::string ToUtf8(const char16_t* utf16, size_t length);
  // Appends the UTF-8 of `utf16` to `out` (a message builds its bytes in place).
  static void AppendUtf8(const char16_t* utf16, size_t length, std::string* out);

 private:
  static const std::u16string& Empty();

  std::shared_ptr<const std::u16string> str_;  // Null when empty.
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
