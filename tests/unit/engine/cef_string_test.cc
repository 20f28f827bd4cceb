// Tests of CefString's UTF-8, UTF-16 and wide conversions.
#include "include/internal/cef_string.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

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
      // A long text is narrowed into exactly its own room.
      if (text.size() > 4096) {
        EXPECT_EQ(utf8.capacity(), utf8.size()) << offset;
      }
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

// Text made from UTF-8 is kept as UTF-8 when that is exactly what its UTF-16 would give back;
// either way every view of it agrees with the UTF-16 route.
TEST(CefStringTest, TextFromUtf8ReadsAsItsUtf16Would) {
  struct Case {
    std::string utf8;
    std::u16string units;
    bool plain;  // Handed out as UTF-8 to readers that take no NUL and no surrogate.
  };
  const Case kCases[] = {
      {"ping", u"ping", true},
      {std::string(40, 'a'), std::u16string(40, u'a'), true},
      {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u00e9\u4e2d\U0001F600", true},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3), false},
      {std::string(20, 'a') + '\0', std::u16string(20, u'a') + u'\0', false},
      {"\xED\xA0\x80", std::u16string(1, 0xD800), false},
      {"\xED\xB0\x80\xED\xA0\x80", std::u16string(u"\xDC00\xD800", 2), false},
      // Not as ToUtf8 writes it: a pair spelt as two surrogates, invalid bytes.
      {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600", false},
      {"a\xFF", u"a\uFFFD", false},
  };
  for (const Case& c : kCases) {
    const CefString text(c.utf8);
    EXPECT_EQ(text.ToString16(), c.units) << c.utf8;
    EXPECT_EQ(text.length(), c.units.size()) << c.utf8;
    EXPECT_EQ(text.ToString(), CefString::ToUtf8(c.units)) << c.utf8;
    EXPECT_EQ(text, CefString(c.units)) << c.utf8;
    EXPECT_EQ(CefString(c.units), text) << c.utf8;
    std::string appended = ">";
    text.AppendUtf8To(&appended);
    EXPECT_EQ(appended, ">" + CefString::ToUtf8(c.units)) << c.utf8;
    EXPECT_EQ(text.PlainUtf8() != nullptr, c.plain) << c.utf8;
  }
  EXPECT_NE(CefString("a"), CefString("b"));
  EXPECT_NE(CefString("a"), CefString(u"ab"));
}

// Threads that ask for the UTF-16 of one shared text at once all get the same, single copy.
TEST(CefStringTest, UnitsAreMadeOnceForAllThreads) {
  const CefString text(std::string(1 << 16, 'w') + "\xC3\xA9");
  std::vector<const char16_t*> seen(4);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i)
    threads.emplace_back([&, i] { seen[i] = CefString(text).c_str(); });
  for (std::thread& t : threads) t.join();
  for (const char16_t* units : seen) EXPECT_EQ(units, text.c_str());
  EXPECT_EQ(text.ToString16().back(), u'\u00e9');
}

}  // namespace
