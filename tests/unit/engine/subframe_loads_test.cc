// Tests of SubframeLoads: which sub-frame asked for a URL, and its response status.
#include "browser/loads/subframe_loads.h"

#include <gtest/gtest.h>

#include <string>

namespace qvex_engine {
namespace {

TEST(SubframeLoadsTest, EachNavigationIsTakenOnceNewestFirst) {
  SubframeLoads loads;
  loads.Navigating("http://a/", 11);
  loads.Navigating("http://b/", 12);
  loads.Navigating("http://a/", 13);  // Another frame asked for the same URL since.
  EXPECT_EQ(loads.TakeNavigating("http://a/"), 13);
  EXPECT_EQ(loads.TakeNavigating("http://a/"), 11);
  EXPECT_EQ(loads.TakeNavigating("http://a/"), 0);  // Taken: a second failure names nobody.
  EXPECT_EQ(loads.TakeNavigating("http://b/"), 12);
  EXPECT_EQ(loads.TakeNavigating("http://c/"), 0);
}

TEST(SubframeLoadsTest, StatusesAreTakenOnce) {
  SubframeLoads loads;
  loads.Responded("http://a/", 404);
  EXPECT_EQ(loads.TakeStatus("http://a/"), 404);
  EXPECT_EQ(loads.TakeStatus("http://a/"), 0);
}

TEST(SubframeLoadsTest, OldEntriesGoFirst) {
  // A page that asks for many frames' URLs and never finishes them does not grow without bound.
  SubframeLoads loads;
  for (int i = 0; i < 1000; ++i) loads.Navigating("http://x/" + std::to_string(i), i + 1);
  EXPECT_EQ(loads.TakeNavigating("http://x/0"), 0);
  EXPECT_EQ(loads.TakeNavigating("http://x/999"), 1000);
  EXPECT_EQ(loads.TakeNavigating("http://x/950"), 951);
}

}  // namespace
}  // namespace qvex_engine
