// Page text made fit for one log line.
#include "common/log_text.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(LogTextTest, EscapesWhatWouldBreakTheLine) {
  const struct {
    std::string text;
    std::string expected;
  } kCases[] = {
      {"saved 3 items", "saved 3 items"},
      {"", ""},
      {"two\nlines\r\n\tand a tab", "two\\nlines\\r\\n\\tand a tab"},
      {"\x1b[31mred", "\\x1b[31mred"},   // a terminal escape would recolour the log
      {std::string("nul\0here", 8), "nul\\x00here"},
      {"del\x7f", "del\\x7f"},
      {"\xC2\x85 next line", "\\u0085 next line"},
      {"a\xE2\x80\xA8" "b\xE2\x80\xA9", "a\\u2028b\\u2029"},  // Unicode line breaks
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},  // other text stays as it is
      {"bad \xFF byte", "bad \xEF\xBF\xBD byte"},           // not UTF-8
      {"cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD"},      // a character cut short
      {"quote \" and \\ stay", "quote \" and \\ stay"},
  };
  for (const auto& c : kCases) EXPECT_EQ(LogText::Escape(c.text, 4096), c.expected) << c.text;
}

TEST(LogTextTest, CutsLongTextAtACharacterWithAMarker) {
  EXPECT_EQ(LogText::Escape(std::string(10, 'x'), 10), std::string(10, 'x'));
  EXPECT_EQ(LogText::Escape(std::string(11, 'x'), 10),
            std::string(10, 'x') + "... (cut: 11 bytes in all)");
  // A three-byte character that does not fit whole is left out whole.
  EXPECT_EQ(LogText::Escape("xxxxxxxx\xE2\x82\xAC", 10), "xxxxxxxx... (cut: 11 bytes in all)");
  // So is an escape.
  EXPECT_EQ(LogText::Escape("xxxxxxxx\n", 9), "xxxxxxxx... (cut: 9 bytes in all)");
}

}  // namespace
}  // namespace qvex_engine
