// Tests of the text a start-up script is installed with.
#include "browser/loads/start_scripts.h"

#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

// The runner's call around the code and the URL.
std::string Call(const std::string& code_literal, const std::string& url_literal) {
  return "(function (run, code, url) { if (typeof run === 'function') run(code, url); else (0, "
         "eval)(code); })(window.__qvexRunStartScript, " + code_literal + ", " + url_literal +
         ");";
}

TEST(StartScriptsTest, TheRunnerGetsTheCodeAndTheUrlAsLiterals) {
  const struct {
    const char* why;
    std::string code, url, code_literal, url_literal;
  } kCases[] = {
      {"plain", "a();", "http://h/p?q=1#f", "\"a();\"", "\"http://h/p?q=1#f\""},
      {"quotes and backslashes stay inside the literal", "say(\"\\\")", "",
       "\"say(\\\"\\\\\\\")\"", "\"\""},
      {"a line break in the URL cannot end the literal", "a();\n", "http://h/\nalert(1)",
       "\"a();\\u000a\"", "\"http://h/\\u000aalert(1)\""},
      {"a NUL would cut WebKit's C string short", std::string("'\0'", 3), "",
       "\"'\\u0000'\"", "\"\""},
      {"Unicode line breaks are escaped too", "a\u2028b\u2029", "",
       "\"a\\u2028b\\u2029\"", "\"\""},
      {"other characters stay as they are", "caf\u00e9 \U0001F600", "",
       "\"caf\u00e9 \U0001F600\"", "\"\""},
  };
  for (const auto& c : kCases) {
    const std::string text = StartScripts::WithSourceUrl(c.code, c.url);
    EXPECT_EQ(text, Call(c.code_literal, c.url_literal)) << c.why;
    EXPECT_EQ(text.find('\0'), std::string::npos) << c.why;
  }
}

}  // namespace
}  // namespace qvex_engine
