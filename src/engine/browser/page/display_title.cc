// The displayed title of an untitled page, from its URL.
#include "browser/page/display_title.h"

#include <glib.h>

namespace qvex_engine {

namespace {

// Longer titles are cut in the middle (a data: URL can be megabytes).
constexpr size_t kMaxTitleChars = 4096;

std::string Unescape(const std::string& text, size_t from) {
  std::string out = text.substr(0, from);
  for (size_t i = from; i < text.size(); ++i) {
    if (text.compare(i, 3, "%20") == 0) {
      out += ' ';
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Elide(const std::string& text) {
  const gssize size = static_cast<gssize>(text.size());
  if (!g_utf8_validate(text.data(), size, nullptr)) return text.substr(0, kMaxTitleChars);
  if (g_utf8_strlen(text.data(), size) <= glong(kMaxTitleChars)) return text;
  const char* start = text.data();
  const char* end = start + text.size();
  const char* head_end = g_utf8_offset_to_pointer(start, kMaxTitleChars / 2);
  const char* tail = g_utf8_offset_to_pointer(end, -glong(kMaxTitleChars / 2 - 1));
  return std::string(start, head_end) + "\u2026" + std::string(tail, end);
}

}  // namespace

std::string UrlForDisplay(const std::string& url) {
  const size_t colon = url.find(':');
  const std::string scheme = colon == std::string::npos ? "" : url.substr(0, colon);
  if (g_ascii_strcasecmp(scheme.c_str(), "file") == 0) {
    // The file's name: the last path segment, before any query or fragment.
    size_t last = url.find_first_of("?#");
    size_t slash = url.rfind('/', last == std::string::npos ? std::string::npos : last - 1);
    std::string name = url.substr(slash == std::string::npos ? 0 : slash + 1);
    return Elide(Unescape(name, 0));
  }
  const bool hierarchical = url.compare(colon + 1, 2, "//") == 0;
  if (colon == std::string::npos || !hierarchical) return Elide(url);
  const size_t host_start = colon + 3;
  size_t host_end = url.find_first_of("/?#", host_start);
  if (host_end == std::string::npos) host_end = url.size();
  std::string authority = url.substr(host_start, host_end - host_start);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  std::string rest = url.substr(host_end);
  if (rest == "/") rest.clear();  // A bare host shows without its slash.
  const std::string prefix =
      g_ascii_strcasecmp(scheme.c_str(), "http") == 0 ? "" : url.substr(0, host_start);
  const std::string shown = prefix + authority;
  return Elide(Unescape(shown + rest, shown.size()));
}

std::string TitleForDisplay(const char* title, const char* url) {
  if (title && *title) return title;
  return UrlForDisplay(url ? url : "");
}

}  // namespace qvex_engine
