// ProjectCheck: the answered name suggested for a declared native that the shell ignores.
// (The checks themselves run end to end: tests/e2e/test_check.py.)
#include "app/commands/project_check.h"

#include <gtest/gtest.h>

namespace {

TEST(ProjectCheckTest, NearestAnsweredName) {
  const struct {
    const char* declared;
    const char* nearest;
  } kCases[] = {
      {"clipBoardWriteText", "clipboardWriteText"},  // one letter's case
      {"clipboardwritetext", "clipboardWriteText"},  // all of it
      {"clipboardWrite", "clipboardWriteText"},      // shortened
      {"registerCallback", "registerCallBack"},
      {"regsiterCallBack", "registerCallBack"},  // two letters swapped
      {"Paste", "paste"},                        // case beats a different short name
      {"pastee", "paste"},
      {"sendkeys", "sendKey"},
      {"triggerEvents", "triggerEvent"},
      {"triggerAp", "triggerApp"},
      {"onunload", "unload"},
      {"", "paste"},  // the shortest, first of equals
  };
  for (const auto& c : kCases)
    EXPECT_EQ(ProjectCheck::NearestAnsweredName(c.declared), c.nearest) << c.declared;
}

}  // namespace
