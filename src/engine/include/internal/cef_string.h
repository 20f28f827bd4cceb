// CefString: a UTF-16 string value at the boundary between the application and the port.
// Conversions from and to UTF-8 keep lone surrogates and NUL characters (WTF-8 style), so
// text crosses the port intact. Values are immutable and share their text, so a copy costs no
// more than a reference count (a query of many megabytes passes through several hands). Text
// that arrives as UTF-8 is kept as UTF-8 and widened only when UTF-16 is asked for, once, so
// text that passes from one UTF-8 end to another is never converted. Any thread.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_

#include <cstddef>
#include <memory>
#include <string>

class CefString {
 public:
  CefString() = default;
  CefString(const char* utf8)
      : CefString(utf8 ? std::string(utf8) : std::string()) {}
  CefString(const std::string& utf8) : CefString(std::string(utf8)) {}
  CefString(std::string&& utf8);  // Takes the bytes when they are kept as they are.
  CefString(const char16_t* utf16) : CefString(std::u16string(utf16 ? utf16 : u"")) {}
  CefString(const std::u16string& utf16) : CefString(std::u16string(utf16)) {}
  CefString(std::u16string&& utf16);
  CefString(const std::wstring& wide);

  std::string ToString() const;
  std::wstring ToWString() const;
  const std::u16string& ToString16() const;

  const char16_t* c_str() const { return ToString16().c_str(); }
  size_t length() const;  // In UTF-16 code units.
  size_t size() const { return length(); }
  bool empty() const { return !text_; }
  void clear() { text_.reset(); }

  bool operator==(const CefString& o) const;
  bool operator!=(const CefString& o) const { return !(*this == o); }
  bool operator<(const CefString& o) const { return ToString16() < o.ToString16(); }

  // The port's own ways in (not CEF's): the text appended to `out` as UTF-8, copied when it is
  // held as UTF-8; and the UTF-8 itself when it is held so, in a string of its own, and holds
  // no NUL and no surrogate code point (text any UTF-8 reader takes as it is), else null.
  void AppendUtf8To(std::string* out) const;
  const std::string* PlainUtf8() const;
  // Text from UTF-8 bytes that stay where they are (a received message's buffer), kept alive
  // by `owner` for as long as any copy of the value lives; bytes that are not exactly what
  // ToUtf8 would write are converted instead, as the constructors do.
  static CefString FromUtf8Bytes(const char* utf8, size_t length,
                                 std::shared_ptr<const void> owner);

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
  class Text;

  std::shared_ptr<const Text> text_;  // Null when empty.
};

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
