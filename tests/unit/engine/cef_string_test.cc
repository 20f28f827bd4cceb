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

TEST(CefStringTest, WideStringsAndComparisons) {
  CefString s(std::wstring(L"\u00e9\U0001F600"));
  EXPECT_EQ(s.length(), 3u);  // The emoji is a surrogate pair.
  EXPECT_EQ(s.ToWString(), std::wstring(L"\u00e9\U0001F600"));
  EXPECT_TRUE(CefString("a") < CefString("b"));
  EXPECT_EQ(CefString(static_cast<const char*>(nullptr)), CefString(""));
  EXPECT_TRUE(CefString().empty());
}

}  // namespace
