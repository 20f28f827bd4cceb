// Tests of the text a start-up script is installed with.
#include "browser/loads/start_scripts.h"

#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

TEST(StartScriptsTest, ScriptsAreNamedByTheirUrl) {
  EXPECT_EQ(StartScripts::WithSourceUrl("a();", "http://h/p?q=1#f"),
            "a();\n//# sourceURL=http://h/p?q=1#f");
  // A script ending in a line comment: the name goes on a line of its own.
  EXPECT_EQ(StartScripts::WithSourceUrl("a(); // end", "http://h/"),
            "a(); // end\n//# sourceURL=http://h/");
  struct {
    const char* why;
    std::string url;
  } unnamed[] = {
      {"no URL", ""},
      {"a line break would end the comment and run the rest", "http://h/\nalert(1)"},
      {"a carriage return likewise", "http://h/\ralert(1)"},
      {"a NUL would cut the script short", std::string("http://h/\0x", 11)},
  };
  for (const auto& c : unnamed) EXPECT_EQ(StartScripts::WithSourceUrl("a();", c.url), "a();") << c.why;
}

TEST(StartScriptsTest, NulCharactersSurviveAsEscapes) {
  // The script is handed over as a C string: a raw NUL would end it there.
  const std::string code("var s = '\0';\0", 13);
  const std::string text = StartScripts::WithSourceUrl(code, "");
  EXPECT_EQ(text, "var s = '\\x00';\\x00");
  EXPECT_EQ(text.find('\0'), std::string::npos);
}

}  // namespace
}  // namespace qvex_engine
