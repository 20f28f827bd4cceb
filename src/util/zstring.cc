// Zstring: a value class around one UTF-8 byte string, with UTF-16 wide-string and hex conversions.
#include "util/zstring.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr signed char kInvalidHex = -1;

constexpr std::array<signed char, 256> MakeHexTable() {
  std::array<signed char, 256> table{};
  for (auto& entry : table)
    entry = kInvalidHex;
  for (int i = 0; i < 10; ++i)
    table['0' + i] = static_cast<signed char>(i);
  for (int i = 0; i < 6; ++i) {
    table['A' + i] = static_cast<signed char>(10 + i);
    table['a' + i] = static_cast<signed char>(10 + i);
  }
  return table;
}

constexpr std::array<signed char, 256> kHexTable = MakeHexTable();

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// The standard library's codecvt_utf8_utf16 (deprecated since C++17) silently drops a sequence
// cut off at the end of its input and accepts UTF-8-encoded surrogates, so a truncated text
// would lose characters without notice. These converters reject every ill-formed input.
[[noreturn]] void BadUtf8() {
  throw std::range_error("Zstring: invalid UTF-8");
}
[[noreturn]] void BadUtf16() {
  throw std::range_error("Zstring: invalid UTF-16");
}

// Decodes one code point starting at s[i] and advances i past it.
char32_t DecodeUtf8(const std::string& s, size_t& i) {
  const unsigned char lead = static_cast<unsigned char>(s[i++]);
  if (lead < 0x80)
    return lead;
  int extra;
  char32_t cp;
  char32_t min;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, cp = lead & 0x1F, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, cp = lead & 0x0F, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, cp = lead & 0x07, min = 0x10000;
  } else {
    BadUtf8();  // Continuation byte, over-long 2-byte lead, or beyond U+10FFFF.
  }
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size())
      BadUtf8();
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if ((c & 0xC0) != 0x80)
      BadUtf8();
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || IsHighSurrogate(cp) || IsLowSurrogate(cp))
    BadUtf8();
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

Zstring::Zstring() : isWide(false) {}

Zstring::Zstring(std::string s) : str(std::move(s)), isWide(false) {}

Zstring::Zstring(std::wstring s) : str(__wstr2str(s)), isWide(true) {}

void Zstring::from(std::string s) {
  isWide = false;
  str = std::move(s);
}

void Zstring::from(std::wstring s) {
  isWide = true;
  str = __wstr2str(s);
}

std::string Zstring::ToString() {
  return str;
}

std::wstring Zstring::ToStringW() {
  return __str2wstr(str);
}

void Zstring::replace(std::string search, std::string replacement) {
  if (search.empty())
    return;
  // Built into a new string so that many replacements stay linear in the length.
  std::string out;
  size_t from = 0;
  for (size_t found; (found = str.find(search, from)) != std::string::npos;
       from = found + search.size()) {
    out.append(str, from, found - from);
    out += replacement;
  }
  if (from == 0)
    return;  // No occurrence.
  out.append(str, from, std::string::npos);
  str = std::move(out);
}

std::string Zstring::ToHex() {
  std::string out;
  out.reserve(str.size() * 2);
  for (unsigned char c : str) {
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
  }
  return out;
}

void Zstring::fromHex(const std::string& hex) {
  if (hex.size() % 2 != 0) {
    str.clear();
    return;
  }
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = hex_value(static_cast<unsigned char>(hex[i]));
    const int low = hex_value(static_cast<unsigned char>(hex[i + 1]));
    out += static_cast<char>((high << 4) | low);
  }
  str = std::move(out);
}

int Zstring::hex_value(unsigned char c) {
  const signed char v = kHexTable[c];
  return v == kInvalidHex ? 0 : v;
}

std::wstring Zstring::__str2wstr(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const char32_t cp = DecodeUtf8(s, i);
    if (cp < 0x10000) {
      out += static_cast<wchar_t>(cp);
    } else {
      out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Zstring::__wstr2str(const std::wstring& ws) {
  std::string out;
  out.reserve(ws.size());
  for (size_t i = 0; i < ws.size(); ++i) {
    // wchar_t is signed here; a negative value is as invalid as one above U+10FFFF.
    const char32_t c = static_cast<char32_t>(ws[i]);
    if (c > 0x10FFFF || IsLowSurrogate(c))
      BadUtf16();
    if (IsHighSurrogate(c)) {
      if (i + 1 >= ws.size())
        BadUtf16();
      const char32_t low = static_cast<char32_t>(ws[i + 1]);
      if (!IsLowSurrogate(low))
        BadUtf16();
      ++i;
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
    } else {
      // Like the standard facet, a single wchar_t above U+FFFF is taken as that code point.
      AppendUtf8(out, c);
    }
  }
  return out;
}
