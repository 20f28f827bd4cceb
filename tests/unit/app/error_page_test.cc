// The error page: its exact text, and that nothing from the URL or error becomes markup.
#include "client/error_page.h"

#include <gtest/gtest.h>

#include <string>

#include "include/cef_parser.h"

namespace {

TEST(ErrorPageTest, ComposesTheOneLinePage) {
  EXPECT_EQ(ComposeErrorPage("http://127.0.0.1:1/", "ERR_CONNECTION_REFUSED", -102),
            "<html><body bgcolor=\"white\"><h2>Failed to load URL http://127.0.0.1:1/ with "
            "error ERR_CONNECTION_REFUSED (-102).</h2></body></html>");
  // Empty places stay empty; the page is still whole.
  EXPECT_EQ(ComposeErrorPage("", "", -2),
            "<html><body bgcolor=\"white\"><h2>Failed to load URL  with error  (-2)."
            "</h2></body></html>");
}

TEST(ErrorPageTest, EscapesMarkupFromUrlAndErrorText) {
  const struct {
    const char* raw;
    const char* escaped;
  } kCases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"a&b", "a&amp;b"},
      {"\"quoted\"", "&quot;quoted&quot;"},
      {"it's", "it&#39;s"},
      {"&lt;", "&amp;lt;"},  // An entity in the input is shown as typed, not decoded.
      {"plain text", "plain text"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(HtmlEscape(c.raw), c.escaped) << c.raw;
    std::string page = ComposeErrorPage(c.raw, c.raw, -6);
    EXPECT_NE(page.find(std::string(" ") + c.escaped + " with error " + c.escaped), std::string::npos)
        << page;
  }
  // The only markup in a page is the page's own.
  std::string page = ComposeErrorPage("x<img src=x onerror=alert(1)>", "<b>", -6);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
}

TEST(ErrorPageTest, DataUrlCarriesThePageIntact) {
  std::string html = ComposeErrorPage("http://x/?a=1&b=2", "ERR_FAILED \xC3\xA9", -2);
  std::string url = ErrorPageDataUrl(html);
  const std::string prefix = "data:text/html;base64,";
  ASSERT_EQ(url.compare(0, prefix.size(), prefix), 0);
  std::string escaped = url.substr(prefix.size());
  // Base64's '+', '/' and '=' are escaped; nothing else is left that a URL would reinterpret.
  EXPECT_EQ(escaped.find_first_of("+/=#?&"), std::string::npos) << escaped;
  EXPECT_EQ(CefBase64Encode(html.data(), html.size()).ToString(),
            [&] {
              std::string out;
              for (size_t i = 0; i < escaped.size(); ++i) {
                if (escaped[i] == '%') {
                  out.push_back(static_cast<char>(std::stoi(escaped.substr(i + 1, 2), nullptr, 16)));
                  i += 2;
                } else {
                  out.push_back(escaped[i]);
                }
              }
              return out;
            }());
}

}  // namespace
