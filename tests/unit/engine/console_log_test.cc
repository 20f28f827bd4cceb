// Console messages as log lines, and the switch that sets the lowest severity written.
#include "renderer/console_log.h"

#include <gtest/gtest.h>

#include "common/engine_state.h"
#include "include/base/cef_logging.h"

namespace qvex_engine {
namespace {

TEST(ConsoleLogTest, FormatsAsCefWritesIt) {
  EXPECT_EQ(ConsoleLog::Format("saved 3 items", "http://127.0.0.1:8617/app.js", 12),
            "\"saved 3 items\", source: http://127.0.0.1:8617/app.js (12)");
  EXPECT_EQ(ConsoleLog::Format("a\nb", "", 0), "\"a\\nb\", source:  (0)");
  const std::string long_source = "data:text/html," + std::string(5000, 's');
  const std::string line = ConsoleLog::Format(std::string(5000, 'm'), long_source, 1);
  EXPECT_LT(line.size(), ConsoleLog::kMaxMessageBytes + ConsoleLog::kMaxSourceBytes + 200);
  EXPECT_NE(line.find("(cut: 5000 bytes in all)"), std::string::npos);
  EXPECT_NE(line.find("(cut: 5015 bytes in all)"), std::string::npos);
}

TEST(ConsoleLogTest, SeverityFollowsTheLevel) {
  using namespace cef::logging;
  EXPECT_EQ(ConsoleLog::SeverityOf(WEBKIT_CONSOLE_MESSAGE_LEVEL_LOG), LOG_INFO);
  EXPECT_EQ(ConsoleLog::SeverityOf(WEBKIT_CONSOLE_MESSAGE_LEVEL_INFO), LOG_INFO);
  EXPECT_EQ(ConsoleLog::SeverityOf(WEBKIT_CONSOLE_MESSAGE_LEVEL_DEBUG), LOG_INFO);
  EXPECT_EQ(ConsoleLog::SeverityOf(WEBKIT_CONSOLE_MESSAGE_LEVEL_WARNING), LOG_WARNING);
  EXPECT_EQ(ConsoleLog::SeverityOf(WEBKIT_CONSOLE_MESSAGE_LEVEL_ERROR), LOG_ERROR);
}

TEST(ConsoleLogTest, LogSeveritySwitchSetsTheLowestLevel) {
  const struct {
    const char* argument;  // null: no switch
    int level;
  } kCases[] = {
      {"--log-severity=verbose", -1}, {"--log-severity=info", 0},
      {"--log-severity=warning", 1},  {"--log-severity=ERROR", 2},
      {"--log-severity=fatal", 3},    {"--log-severity=disable", 4},
      {"--log-severity=loud", 2},     // unknown: the level stays
      {"--log-severity=", 2},         // empty: unknown too
      {nullptr, 2},                   // no switch: the settings' level stays
  };
  for (const auto& c : kCases) {
    SetMinLogLevel(2);
    const char* argv[] = {"qvexdesk", c.argument};
    SetGlobalCommandLine(c.argument ? 2 : 1, argv);
    ApplyLogSeveritySwitch();
    EXPECT_EQ(cef_get_min_log_level(), c.level) << (c.argument ? c.argument : "none");
  }
  SetMinLogLevel(0);
  SetGlobalCommandLine(0, nullptr);
  // What the UI process forwards to its web processes names the level back.
  EXPECT_EQ(LogSeveritySwitchValue(-1), "verbose");
  EXPECT_EQ(LogSeveritySwitchValue(0), "info");
  EXPECT_EQ(LogSeveritySwitchValue(3), "fatal");
  EXPECT_EQ(LogSeveritySwitchValue(4), "disable");
}

}  // namespace
}  // namespace qvex_engine
