// libFuzzer target: the error page composed from any URL, error text and code. Nothing from
// the input may become markup, and the data: URL must carry the page intact.
#include <fuzzer/FuzzedDataProvider.h>
#include <glib.h>

#include <cstdint>
#include <string>

#include "client/error_page.h"
#include "fuzz_check.h"

namespace {

// Undoes HtmlEscape; false if an ampersand starts anything but the five references it writes.
bool Unescape(const std::string& escaped, std::string* out) {
  static const struct {
    const char* reference;
    char character;
  } kReferences[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  out->clear();
  for (size_t i = 0; i < escaped.size();) {
    if (escaped[i] != '&') {
      out->push_back(escaped[i++]);
      continue;
    }
    bool known = false;
    for (const auto& r : kReferences) {
      if (escaped.compare(i, std::char_traits<char>::length(r.reference), r.reference) == 0) {
        out->push_back(r.character);
        i += std::char_traits<char>::length(r.reference);
        known = true;
        break;
      }
    }
    if (!known) return false;
  }
  return true;
}

void CheckEscaped(const std::string& raw) {
  const std::string escaped = HtmlEscape(raw);
  // No character that opens or closes a tag or an attribute value is left.
  FUZZ_CHECK(escaped.find_first_of("<>\"'") == std::string::npos);
  std::string back;
  FUZZ_CHECK(Unescape(escaped, &back));
  FUZZ_CHECK(back == raw);
}

size_t Count(const std::string& s, char c) {
  size_t n = 0;
  for (char x : s) n += x == c;
  return n;
}

// The data: URL's payload: only unreserved characters and %XX escapes, decoding to the page.
void CheckDataUrl(const std::string& html) {
  const std::string url = ErrorPageDataUrl(html);
  const std::string prefix = "data:text/html;base64,";
  FUZZ_CHECK(url.compare(0, prefix.size(), prefix) == 0);
  std::string base64;
  for (size_t i = prefix.size(); i < url.size(); ++i) {
    const char c = url[i];
    if (c == '%') {
      FUZZ_CHECK(i + 2 < url.size() && g_ascii_isxdigit(url[i + 1]) && g_ascii_isxdigit(url[i + 2]));
      base64.push_back(static_cast<char>(g_ascii_xdigit_value(url[i + 1]) * 16 +
                                         g_ascii_xdigit_value(url[i + 2])));
      i += 2;
    } else {
      FUZZ_CHECK(g_ascii_isalnum(c));
      base64.push_back(c);
    }
  }
  gsize length = 0;
  guchar* decoded = g_base64_decode(base64.c_str(), &length);
  FUZZ_CHECK(std::string(reinterpret_cast<const char*>(decoded), length) == html);
  g_free(decoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const int code = provider.ConsumeIntegral<int>();
  const std::string url = provider.ConsumeRandomLengthString();
  const std::string error_text = provider.ConsumeRemainingBytesAsString();
  CheckEscaped(url);
  CheckEscaped(error_text);

  const std::string page = ComposeErrorPage(url, error_text, code);
  const std::string head = "<html><body bgcolor=\"white\"><h2>Failed to load URL ";
  const std::string tail = " (" + std::to_string(code) + ").</h2></body></html>";
  FUZZ_CHECK(page.compare(0, head.size(), head) == 0);
  FUZZ_CHECK(page.size() >= head.size() + tail.size() &&
             page.compare(page.size() - tail.size(), tail.size(), tail) == 0);
  // The page's markup is its own six tags and one quoted attribute, whatever the input held.
  FUZZ_CHECK(Count(page, '<') == 6 && Count(page, '>') == 6);
  FUZZ_CHECK(Count(page, '"') == 2 && Count(page, '\'') == 0);
  FUZZ_CHECK(page.find(" with error ", head.size()) != std::string::npos);
  CheckDataUrl(page);
  return 0;
}
