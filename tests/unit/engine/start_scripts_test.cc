// Tests of the text a start-up script is installed with.
#include "browser/start_scripts.h"

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

}  // namespace
}  // namespace qvex_engine
