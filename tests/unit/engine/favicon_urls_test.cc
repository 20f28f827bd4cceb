// Which icon URLs a page reports.
#include "browser/page/favicon_urls.h"

#include <gtest/gtest.h>

namespace qvex_engine {
namespace {

TEST(FaviconUrlsTest, LinksWinInDocumentOrder) {
  std::vector<std::string> links = {"http://h/b.png", "http://h/a.png", "http://h/c.png"};
  EXPECT_EQ(FaviconUrlsFor("http://h/page.html", links), links);
}

TEST(FaviconUrlsTest, WithoutLinksTheOriginsFaviconIco) {
  const struct {
    const char* page;
    std::vector<std::string> expected;
  } kCases[] = {
      {"http://127.0.0.1:8080/dir/page.html?q=1#f", {"http://127.0.0.1:8080/favicon.ico"}},
      {"https://example.org/", {"https://example.org/favicon.ico"}},
      {"file:///tmp/page.html", {}},  // No origin to ask.
      {"data:text/html,hi", {}},
      {"about:blank", {}},
      {"", {}},
  };
  for (const auto& c : kCases) EXPECT_EQ(FaviconUrlsFor(c.page, {}), c.expected) << c.page;
}

}  // namespace
}  // namespace qvex_engine
