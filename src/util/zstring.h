// Zstring: a value class around one UTF-8 byte string, with UTF-16 wide-string and hex conversions.
#ifndef QVEX_UTIL_ZSTRING_H_
#define QVEX_UTIL_ZSTRING_H_

#include <string>

// Wide strings hold one UTF-16 code unit per wchar_t, so a character above U+FFFF is a
// surrogate pair. Conversions raise std::range_error on text they cannot convert: bytes that
// are not well-formed UTF-8 (including a sequence cut off at the end, an over-long form or an
// encoded surrogate), or, towards UTF-8, a lone surrogate or a value above U+10FFFF. A value
// that fails to convert leaves `str` as it was. Not thread-safe; copies are independent.
class Zstring {
 public:
  Zstring();
  Zstring(std::string s);
  Zstring(std::wstring s);

  void from(std::string s);
  // Sets isWide before converting, so it is true even when the conversion raises.
  void from(std::wstring s);

  std::string ToString();
  std::wstring ToStringW();

  // Replaces every occurrence of `search`, left to right; inserted text is never searched
  // again ("a" -> "aa" in "aba" gives "aabaa"). An empty `search` leaves the value unchanged.
  void replace(std::string search, std::string replacement);

  // Two uppercase hex digits per byte, no separators.
  std::string ToHex();
  // Decodes pairs of hex digits (either case). Odd-length text gives an empty value; a byte
  // that is not a hex digit counts as 0. Never fails; isWide is left as it is.
  void fromHex(const std::string& hex);

  // 0 to 15 for a hex digit, 0 for any other byte.
  static int hex_value(unsigned char c);

  // UTF-8 <-> UTF-16 conversions; the argument is not changed.
  static std::wstring __str2wstr(const std::string& s);
  static std::string __wstr2str(const std::wstring& ws);

  std::string str;
  bool isWide;  // Set from a wide string last; informational only.
};

#endif  // QVEX_UTIL_ZSTRING_H_
