// The UI process's one line when it cannot open its display.
#include "browser/start_failure.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(StartFailureTest, CannotOpenDisplayLine) {
  struct Case {
    const char* program;
    const char* display;
    const char* line;
  } kCases[] = {
      {"qvexdesk", ":99", "qvexdesk: cannot open display \":99\""},
      {"qvexdesk", "127.0.0.1:5.0", "qvexdesk: cannot open display \"127.0.0.1:5.0\""},
      // Unset or empty: there is no name to show, say what is missing.
      {"qvexdesk", nullptr, "qvexdesk: cannot open display: DISPLAY is not set"},
      {"qvexdesk", "", "qvexdesk: cannot open display: DISPLAY is not set"},
      // GTK had not named the program yet.
      {nullptr, ":1", "qvexdesk: cannot open display \":1\""},
  };
  for (const Case& c : kCases) EXPECT_EQ(CannotOpenDisplayLine(c.program, c.display), c.line);
}

}  // namespace
}  // namespace qvex_engine
