// CefString: a UTF-16 string value at the boundary between the application and the port.
// Conversions from and to UTF-8 keep lone surrogates and NUL characters (WTF-8 style), so
// text crosses the port intact. Values are independent; any thread.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_

#include <string>

class CefString {
 public:
  CefString() = default;
  CefString(const char* utf8) : str_(FromUtf8(utf8 ? std::string(utf8) : std::string())) {}
  CefString(const std::string& utf8) : str_(FromUtf8(utf8)) {}
  CefString(const char16_t* utf16) : str_(utf16 ? utf16 : u"") {}
  CefString(const std::u16string& utf16) : str_(utf16) {}
  CefString(const std::wstring& wide);

  std::string ToString() const { return ToUtf8(str_); }
  std::wstring ToWString() const;
  const std::u16string& ToString16() const { return str_; }

  const char16_t* c_str() const { return str_.c_str(); }
  size_t length() const { return str_.length(); }
  size_t size() const { return str_.size(); }
  bool empty() const { return str_.empty(); }
  void clear() { str_.clear(); }

  bool operator==(const CefString& o) const { return str_ == o.str_; }
  bool operator!=(const CefString& o) const { return str_ != o.str_; }
  bool operator<(const CefString& o) const { return str_ < o.str_; }

  // UTF-8 <-> UTF-16. Invalid UTF-8 bytes become U+FFFD; surrogate code points encoded in
  // UTF-8 (as ToUtf8 writes lone surrogates) decode back to the same unit.
  static std::u16string FromUtf8(const std::string& utf8);
  static std::string ToUtf8(const std::u16string& utf16);

 private:
  std::u16string str_;
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
