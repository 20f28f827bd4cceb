// Tests of RecentByUrl: the newest entry for a URL, found or taken, within a bound.
#include "common/recent_by_url.h"

#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

TEST(RecentByUrlTest, NewestFirstFindLeavesTakeRemoves) {
  RecentByUrl<int> recent(3);
  recent.Put("http://a/", 1);
  recent.Put("http://b/", 2);
  recent.Put("http://a/", 3);
  const struct {
    bool take;
    const char* url;
    int expected;  // 0: none.
  } kSteps[] = {
      {false, "http://a/", 3},  // Found, and still there.
      {true, "http://a/", 3},   // The newest of two goes first.
      {true, "http://a/", 1},
      {true, "http://a/", 0},  // Taken: a second answer names nobody.
      {false, "http://b/", 2},
      {false, "http://", 0},   // A prefix is another URL.
  };
  for (const auto& step : kSteps) {
    const int got = step.take ? recent.TakeNewest(step.url).value_or(0)
                              : (recent.FindNewest(step.url) ? *recent.FindNewest(step.url) : 0);
    EXPECT_EQ(got, step.expected) << step.take << " " << step.url;
  }
}

TEST(RecentByUrlTest, OldestGoFirstWhenFull) {
  RecentByUrl<int> recent(2);
  recent.Put("http://a/", 1);
  recent.Put("http://b/", 2);
  recent.Put("http://c/", 3);
  EXPECT_EQ(recent.FindNewest("http://a/"), nullptr);
  EXPECT_EQ(*recent.FindNewest("http://b/"), 2);
  EXPECT_EQ(*recent.FindNewest("http://c/"), 3);
}

}  // namespace
}  // namespace qvex_engine
