// CrashBackoff: endings of a page's web process in, reload pauses or a stop out.
#include "browser/crash_backoff.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(CrashBackoffTest, BacksOffThenStopsAtTheThirdEndingWithinAMinute) {
  const struct {
    int64_t at_ms;
    bool reload;
    int64_t delay_ms;
  } kEndings[] = {
      {1000, true, 250},      // The first ending reloads, after a pause.
      {2000, true, 1000},     // The second waits longer.
      {3000, false, 0},       // The third within a minute: stop.
      {4000, false, 0},       // And stays stopped while endings keep coming.
      {63500, true, 1000},    // Only the one at 4 s is within a minute: a second ending.
  };
  CrashBackoff backoff;
  for (const auto& e : kEndings) {
    CrashBackoff::Decision d = backoff.OnEnded(e.at_ms);
    EXPECT_EQ(d.reload, e.reload) << e.at_ms;
    EXPECT_EQ(d.delay_ms, e.delay_ms) << e.at_ms;
  }
}

TEST(CrashBackoffTest, EndingsOlderThanAMinuteAreForgotten) {
  const struct {
    int64_t at_ms;
    bool reload;
    int64_t delay_ms;
  } kEndings[] = {
      {0, true, 250},
      {59999, true, 1000},    // Within the minute of the first.
      {60000, true, 1000},    // The first has left the window: two recent endings.
      {200000, true, 250},    // Long after: a fresh start.
  };
  CrashBackoff backoff;
  for (const auto& e : kEndings) {
    CrashBackoff::Decision d = backoff.OnEnded(e.at_ms);
    EXPECT_EQ(d.reload, e.reload) << e.at_ms;
    EXPECT_EQ(d.delay_ms, e.delay_ms) << e.at_ms;
  }
}

TEST(CrashBackoffTest, TheUsersReloadStartsAfresh) {
  CrashBackoff backoff;
  backoff.OnEnded(0);
  backoff.OnEnded(10);
  EXPECT_FALSE(backoff.OnEnded(20).reload);
  backoff.Reset();
  CrashBackoff::Decision d = backoff.OnEnded(30);
  EXPECT_TRUE(d.reload);
  EXPECT_EQ(d.delay_ms, CrashBackoff::kFirstDelayMs);
}

}  // namespace
}  // namespace qvex_engine
