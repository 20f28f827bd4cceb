// LogText: text from pages and URLs made fit for one log line. Any thread.
#ifndef QVEX_ENGINE_COMMON_LOG_TEXT_H_
#define QVEX_ENGINE_COMMON_LOG_TEXT_H_

#include <cstddef>
#include <string>

namespace qvex_engine {

class LogText {
 public:
  // `text` with every control character and Unicode line break escaped ("\n", "\t", "\x1b",
  // "\u2028"), so that it stays on one line, and cut after about `max_bytes` bytes of output
  // (never inside a character or an escape) with a marker that says how long it was
  // (`total_bytes` when the text is only the start of a longer one, else its own size). Bytes
  // that are not UTF-8 show as U+FFFD.
  static std::string Escape(const std::string& text, size_t max_bytes, size_t total_bytes = 0);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_LOG_TEXT_H_
