// libFuzzer target: Zstring's hex and UTF-8 <-> UTF-16 conversions on arbitrary bytes, checked
// against GLib's UTF-8 validator and against their own inverses.
#include <glib.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "util/zstring.h"

namespace {

// GLib's validator stops at NUL, which is a valid character: validate piece by piece.
bool IsWellFormedUtf8(const std::string& s) {
  size_t start = 0;
  for (;;) {
    const size_t nul = s.find('\0', start);
    const size_t end = nul == std::string::npos ? s.size() : nul;
    if (!g_utf8_validate(s.data() + start, static_cast<gssize>(end - start), nullptr))
      return false;
    if (nul == std::string::npos)
      return true;
    start = nul + 1;
  }
}

void CheckHex(const std::string& bytes) {
  Zstring z(bytes);
  const std::string hex = z.ToHex();
  FUZZ_CHECK(hex.size() == bytes.size() * 2);
  FUZZ_CHECK(hex.find_first_not_of("0123456789ABCDEF") == std::string::npos);
  Zstring back;
  back.fromHex(hex);
  FUZZ_CHECK(back.str == bytes);
  std::string lower = hex;
  for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
  back.fromHex(lower);
  FUZZ_CHECK(back.str == bytes);

  // The input itself as hex text: never fails, halves an even length, empties an odd one.
  Zstring decoded(std::string("previous"));
  decoded.fromHex(bytes);
  FUZZ_CHECK(decoded.str.size() == (bytes.size() % 2 ? 0 : bytes.size() / 2));
  for (size_t i = 0; i + 1 < bytes.size() && bytes.size() % 2 == 0; i += 2) {
    const int high = g_ascii_xdigit_value(bytes[i]);
    const int low = g_ascii_xdigit_value(bytes[i + 1]);
    FUZZ_CHECK(static_cast<unsigned char>(decoded.str[i / 2]) ==
               (((high < 0 ? 0 : high) << 4) | (low < 0 ? 0 : low)));
  }
}

void CheckUtf8ToWide(const std::string& bytes) {
  std::wstring wide;
  bool converted = true;
  try {
    wide = Zstring::__str2wstr(bytes);
  } catch (const std::range_error&) {
    converted = false;
  }
  FUZZ_CHECK(converted == IsWellFormedUtf8(bytes));
  if (!converted) {
    Zstring z(bytes);
    try {
      z.ToStringW();
      FUZZ_CHECK(false);
    } catch (const std::range_error&) {
    }
    FUZZ_CHECK(z.str == bytes);
    return;
  }
  // One UTF-16 code unit per wchar_t, surrogates only in well-formed pairs.
  for (size_t i = 0; i < wide.size(); ++i) {
    const auto u = static_cast<uint32_t>(wide[i]);
    FUZZ_CHECK(u <= 0xFFFF);
    if (u >= 0xD800 && u <= 0xDBFF) {
      FUZZ_CHECK(i + 1 < wide.size());
      const auto next = static_cast<uint32_t>(wide[i + 1]);
      FUZZ_CHECK(next >= 0xDC00 && next <= 0xDFFF);
      ++i;
    } else {
      FUZZ_CHECK(!(u >= 0xDC00 && u <= 0xDFFF));
    }
  }
  FUZZ_CHECK(Zstring::__wstr2str(wide) == bytes);
  FUZZ_CHECK(Zstring(wide).isWide);
}

// The bytes as wide characters: pairs as UTF-16 units, or (odd first byte) quadruples as full
// wchar_t values, negative and above U+10FFFF included.
void CheckWideToUtf8(const uint8_t* data, size_t size) {
  std::wstring wide;
  const bool full = size > 0 && (data[0] & 1);
  if (size > 0) ++data, --size;
  const size_t width = full ? 4 : 2;
  for (size_t i = 0; i + width <= size; i += width) {
    uint32_t v = data[i] | (data[i + 1] << 8);
    if (full) v |= (static_cast<uint32_t>(data[i + 2]) << 16) | (static_cast<uint32_t>(data[i + 3]) << 24);
    wide.push_back(static_cast<wchar_t>(static_cast<int32_t>(v)));
  }
  // Independent check of the UTF-16 rules the conversion must apply.
  bool valid = true;
  bool narrow = true;
  for (size_t i = 0; i < wide.size() && valid; ++i) {
    const auto u = static_cast<uint32_t>(wide[i]);
    if (u > 0x10FFFF || (u >= 0xDC00 && u <= 0xDFFF)) {
      valid = false;
    } else if (u >= 0xD800 && u <= 0xDBFF) {
      valid = i + 1 < wide.size() && static_cast<uint32_t>(wide[i + 1]) >= 0xDC00 &&
              static_cast<uint32_t>(wide[i + 1]) <= 0xDFFF;
      ++i;
    } else if (u > 0xFFFF) {
      narrow = false;
    }
  }
  std::string utf8;
  bool converted = true;
  Zstring z(std::string("kept"));
  try {
    utf8 = Zstring::__wstr2str(wide);
  } catch (const std::range_error&) {
    converted = false;
  }
  try {
    z.from(wide);
  } catch (const std::range_error&) {
  }
  FUZZ_CHECK(converted == valid);
  if (!converted) {
    FUZZ_CHECK(z.str == "kept" && z.isWide);
    return;
  }
  FUZZ_CHECK(z.str == utf8 && z.isWide);
  FUZZ_CHECK(IsWellFormedUtf8(utf8));
  // Units above U+FFFF come back as surrogate pairs; everything else exactly.
  const std::wstring back = Zstring::__str2wstr(utf8);
  if (narrow) FUZZ_CHECK(back == wide);
  FUZZ_CHECK(Zstring::__wstr2str(back) == utf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  CheckHex(bytes);
  CheckUtf8ToWide(bytes);
  CheckWideToUtf8(data, size);
  return 0;
}
