// LogText: escaping and cutting of page text for the log.
#include "common/log_text.h"
#include "include/qvex_log.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>

namespace qvex_engine {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// How the character `c` (`bytes` in the text) appears in a log line.
std::string Shown(gunichar c, const std::string& bytes) {
  char buf[16];
  switch (c) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
  }
  if (c < 0x20 || c == 0x7f) {
    snprintf(buf, sizeof(buf), "\\x%02x", static_cast<unsigned>(c));
    return buf;
  }
  // NEL and the Unicode line and paragraph separators end a line for many log readers.
  if (c == 0x85 || c == 0x2028 || c == 0x2029) {
    snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(c));
    return buf;
  }
  return bytes;
}

}  // namespace

std::string LogText::Escape(const std::string& text, size_t max_bytes, size_t total_bytes) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const char* p = text.data() + i;
    gunichar c = g_utf8_get_char_validated(p, static_cast<gssize>(text.size() - i));
    size_t length = 1;
    std::string piece;
    if (*p == '\0') {
      piece = "\\x00";  // GLib counts a NUL as invalid inside a sized text.
    } else if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      piece = kReplacement;  // Not UTF-8 (or cut short): one byte at a time.
    } else {
      length = static_cast<size_t>(g_utf8_skip[static_cast<guchar>(*p)]);
      piece = Shown(c, std::string(p, length));
    }
    if (out.size() + piece.size() > max_bytes) {
      out += "... (cut: " + std::to_string(std::max(total_bytes, text.size())) + " bytes in all)";
      return out;
    }
    out += piece;
    i += length;
  }
  return out;
}

}  // namespace qvex_engine

std::string qvex_log::OneLine(const std::string& text, size_t max_bytes, size_t total_bytes) {
  return qvex_engine::LogText::Escape(text, max_bytes, total_bytes);
}
