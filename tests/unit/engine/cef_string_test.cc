// Tests of CefString's UTF-8, UTF-16 and wide conversions.
#include "include/internal/cef_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CefStringTest, RoundTripsEveryCodeUnitSequence) {
  const std::u16string kCases[] = {
      u"",
      std::u16string(u"a\0b", 3),         // NUL in the middle
      u"\u00e9\u4e2d\U0001F600",          // 2-, 3- and 4-byte UTF-8
      std::u16string(1, 0xD800),          // lone high surrogate
      std::u16string(1, 0xDC00),          // lone low surrogate
      std::u16string(u"\xDC00\xD800", 2), // a reversed pair is two lone units
      std::u16string(u"\xD83D", 1) + u"x",  // high surrogate followed by a non-surrogate
  };
  for (const std::u16string& s : kCases) {
    EXPECT_EQ(CefString::FromUtf8(CefString::ToUtf8(s)), s);
    EXPECT_EQ(CefString(CefString(s).ToString()).ToString16(), s);
  }
  EXPECT_EQ(CefString(u"\U0001F600").ToString(), "\xF0\x9F\x98\x80");
  EXPECT_EQ(CefString::ToUtf8(std::u16string(1, 0xD800)), "\xED\xA0\x80");
}

TEST(CefStringTest, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    const char* utf8;
    std::u16string expected;
  };
  const Case kCases[] = {
      {"\x80", u"\uFFFD"},              // a continuation byte alone
      {"\xC3", u"\uFFFD"},              // a sequence cut short at the end
      {"\xC3x", u"\uFFFDx"},            // a sequence cut short by an ASCII byte
      {"\xC0\xAF", u"\uFFFD\uFFFD"},    // overlong encoding of '/'
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
      {"\xFF", u"\uFFFD"},              // never valid in UTF-8
  };
  for (const Case& c : kCases) EXPECT_EQ(CefString(c.utf8).ToString16(), c.expected) << c.utf8;
}

// The conversions work in blocks, 16 or 8 ASCII characters at a time: sequences that straddle
// a block or a group of eight, and long runs, convert as short ones do.
TEST(CefStringTest, LongTextsConvertAcrossBlockBoundaries) {
  const std::u16string kPieces[] = {u"\u00e9", u"\u4e2d", u"\U0001F600",
                                    std::u16string(1, 0xDBFF), std::u16string(1, 0)};
  for (size_t offset : {0u, 1u, 7u, 15u, 16u, 17u, 4093u, 4094u, 4095u, 4096u, 8191u}) {
    for (const std::u16string& piece : kPieces) {
      const std::u16string text = std::u16string(offset, u'a') + piece + std::u16string(9, u'b');
      const std::string utf8 = CefString::ToUtf8(text);
      EXPECT_EQ(utf8, std::string(offset, 'a') + CefString::ToUtf8(piece) + std::string(9, 'b'));
      EXPECT_EQ(CefString::FromUtf8(utf8), text) << offset;
    }
  }
  EXPECT_EQ(CefString::FromUtf8(std::string(4095, 'a') + "\xC3"),  // Cut at the very end.
            std::u16string(4095, u'a') + u"\uFFFD");
}

// Copies share the text; each value still behaves as its own.
TEST(CefStringTest, CopiesShareTheTextAndStayIndependent) {
  CefString a(std::string(1 << 20, 'q'));
  CefString b = a;
  EXPECT_EQ(a.c_str(), b.c_str());
  EXPECT_EQ(a, b);
  b = "other";
  EXPECT_EQ(a.length(), 1u << 20);
  EXPECT_EQ(b.ToString(), "other");
  a.clear();
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.c_str()[0], 0);
  EXPECT_EQ(CefString(u""), CefString());
}

TEST(CefStringTest, WideStringsAndComparisons) {
  CefString s(std::wstring(L"\u00e9\U0001F600"));
  EXPECT_EQ(s.length(), 3u);  // The emoji is a surrogate pair.
  EXPECT_EQ(s.ToWString(), std::wstring(L"\u00e9\U0001F600"));
  EXPECT_TRUE(CefString("a") < CefString("b"));
  EXPECT_EQ(CefString(static_cast<const char*>(nullptr)), CefString(""));
  EXPECT_TRUE(CefString().empty());
}

}  // namespace
