// Tests for Zstring: wide-string and hex conversions, and in-place replacement.
#include "util/zstring.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

TEST(ZstringTest, ConstructionAndFromTrackWideness) {
  EXPECT_EQ(Zstring().ToString(), "");
  EXPECT_FALSE(Zstring().isWide);
  Zstring z("a\0b"s);
  EXPECT_EQ(z.ToString(), "a\0b"s);  // Embedded NULs are part of the value.
  EXPECT_FALSE(z.isWide);
  z.from(std::wstring(L"\u00e9"));
  EXPECT_TRUE(z.isWide);
  EXPECT_EQ(z.str, "\xC3\xA9");
  z.from("x"s);
  EXPECT_FALSE(z.isWide);
  EXPECT_EQ(z.ToString(), "x");
}

TEST(ZstringTest, SurrogatePairsRoundTrip) {
  const std::wstring grin = {wchar_t(0xD83D), wchar_t(0xDE00)};  // U+1F600
  Zstring z(grin);
  EXPECT_TRUE(z.isWide);
  EXPECT_EQ(z.str, "\xF0\x9F\x98\x80");
  EXPECT_EQ(z.ToStringW(), grin);
  const std::string mixed = "a\0\xE2\x82\xAC\xEF\xBB\xBF\xF4\x8F\xBF\xBF"s;  // a NUL € BOM U+10FFFF
  EXPECT_EQ(Zstring::__wstr2str(Zstring(mixed).ToStringW()), mixed);
  EXPECT_EQ(Zstring(mixed).ToStringW().size(), 6u);
}

TEST(ZstringTest, InvalidUtf8RaisesAndKeepsValue) {
  const std::string bad[] = {
      "\xFF"s,              // Never a UTF-8 byte.
      "\x80"s,              // Continuation byte without a lead.
      "\xC0\x80"s,          // Over-long encoding of NUL.
      "\xE2\x28\xA1"s,      // Lead byte followed by a non-continuation byte.
      "a\xE2\x82"s,         // Sequence cut off at the end of the text.
      "\xED\xA0\x80"s,      // Encoded surrogate, not a character.
      "\xF4\x90\x80\x80"s,  // Beyond U+10FFFF.
  };
  for (const std::string& text : bad) {
    Zstring z(text);
    EXPECT_THROW(z.ToStringW(), std::range_error) << Zstring(text).ToHex();
    EXPECT_EQ(z.str, text);
  }
}

TEST(ZstringTest, InvalidWideTextRaisesAndKeepsValue) {
  const std::wstring bad[] = {
      {wchar_t(0xD83D)},        // High surrogate at the end.
      {wchar_t(0xD83D), L'a'},  // High surrogate without its low half.
      {L'a', wchar_t(0xDE00)},  // Low surrogate on its own.
      {wchar_t(0x110000)},      // Above U+10FFFF.
      {wchar_t(-1)},            // Negative: no code point at all.
  };
  for (const std::wstring& text : bad) {
    EXPECT_THROW(Zstring{text}, std::range_error);
    Zstring z("kept"s);
    EXPECT_THROW(z.from(text), std::range_error);
    EXPECT_EQ(z.str, "kept");
    EXPECT_TRUE(z.isWide);  // Set before the conversion is tried.
  }
}

TEST(ZstringTest, HexEncodesAndDecodes) {
  EXPECT_EQ(Zstring("\x00\xAB\xFF"s).ToHex(), "00ABFF");
  EXPECT_EQ(Zstring().ToHex(), "");
  std::string all;
  for (int i = 0; i < 256; ++i)
    all += static_cast<char>(i);
  Zstring z(all);
  const std::string hex = z.ToHex();
  EXPECT_EQ(hex.size(), 512u);
  Zstring back;
  back.fromHex(hex);
  EXPECT_EQ(back.str, all);
}

TEST(ZstringTest, FromHexEdgeCases) {
  struct Case {
    std::string hex;
    std::string bytes;
  } cases[] = {
      {"00abFF", "\x00\xAB\xFF"s},
      {"4G", "\x40"},  // 'G' is not a digit and counts as 0.
      {"zz", "\0"s},   // Two invalid digits still make one byte.
      {"ABC", ""},     // Odd length clears the value.
      {"", ""},
  };
  for (const Case& c : cases) {
    Zstring z(std::wstring(L"old"));
    z.fromHex(c.hex);
    EXPECT_EQ(z.str, c.bytes) << c.hex;
    EXPECT_TRUE(z.isWide);  // fromHex leaves it alone.
  }
  EXPECT_EQ(Zstring::hex_value('0'), 0);
  EXPECT_EQ(Zstring::hex_value('9'), 9);
  EXPECT_EQ(Zstring::hex_value('a'), 10);
  EXPECT_EQ(Zstring::hex_value('F'), 15);
  EXPECT_EQ(Zstring::hex_value('g'), 0);
  EXPECT_EQ(Zstring::hex_value(0xB0), 0);  // Past ASCII: must not index out of the table.
}

TEST(ZstringTest, ReplaceScansLeftToRightOnce) {
  struct Case {
    std::string value, search, replacement, expected;
  } cases[] = {
      {"aba", "a", "aa", "aabaa"},                           // Inserted text is not searched again.
      {"aaa", "aa", "b", "ba"},                              // Occurrences do not overlap.
      {"abc", "x", "y", "abc"},    {"abc", "", "y", "abc"},  // Empty search: would never end.
      {"a.b.c", ".", "", "abc"},   {"ab", "abc", "x", "ab"}, {"abab", "ab", "abab", "abababab"},
  };
  for (const Case& c : cases) {
    Zstring z(c.value);
    z.replace(c.search, c.replacement);
    EXPECT_EQ(z.str, c.expected) << c.value << " " << c.search;
  }
  // Many occurrences in a long text must not take quadratic time.
  Zstring big(std::string(1 << 22, 'a'));
  big.replace("a", "bc");
  EXPECT_EQ(big.str.size(), 2u << 22);
}

}  // namespace
