// Text made fit for one line of the shell's log, as the engine writes page console lines: the
// port's addition, for the application's own lines of foreign text. Any thread.
#ifndef QVEX_INCLUDE_QVEX_LOG_H_
#define QVEX_INCLUDE_QVEX_LOG_H_

#include <cstddef>
#include <string>

namespace qvex_log {

// Console lines keep this much of a message.
constexpr size_t kMaxLineBytes = 4096;

// Control characters and line breaks escaped, cut after about `max_bytes` with a marker that
// says `total_bytes` (when `text` is the start of a longer text) or the text's size.
std::string OneLine(const std::string& text, size_t max_bytes = kMaxLineBytes,
                    size_t total_bytes = 0);

}  // namespace qvex_log

#endif  // QVEX_INCLUDE_QVEX_LOG_H_
