// CrashBackoff: endings of a page's web process in, reload pauses or a stop out.
#include "browser/crash/crash_backoff.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(CrashBackoffTest, BacksOffAndStopsAtTheThirdEndingWithinAMinute) {
  const struct {
    int64_t at_ms;  // -1: the user pressed Reload.
    bool reload;
    int64_t delay_ms;
  } kEvents[] = {
      {0, true, 250},        // The first ending reloads, after a pause.
      {59999, true, 1000},   // The second within a minute waits longer.
      {60000, true, 1000},   // The first has left the minute: still two recent endings.
      {61000, false, 0},     // The third within a minute: stop.
      {62000, false, 0},     // And stay stopped.
      {-1, false, 0},        // The user's Reload starts afresh.
      {63000, true, 250},
      {300000, true, 250},   // Long after: the earlier ones are forgotten.
  };
  CrashBackoff backoff;
  for (const auto& e : kEvents) {
    if (e.at_ms < 0) {
      backoff.Reset();
      continue;
    }
    CrashBackoff::Decision d = backoff.OnEnded(e.at_ms);
    EXPECT_EQ(d.reload, e.reload) << e.at_ms;
    EXPECT_EQ(d.delay_ms, e.delay_ms) << e.at_ms;
  }
}

}  // namespace
}  // namespace qvex_engine
