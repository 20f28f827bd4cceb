// BackendOutput: line splitting, the log lines and the kept tail of the backend's output.
#include "app/backend/backend_output.h"

#include <algorithm>
#include <cstring>

#include "include/base/cef_logging.h"
#include "include/qvex_log.h"

constexpr size_t BackendOutput::kKeptLines;

namespace {

const char* const kStreamNames[] = {"stdout", "stderr"};

}  // namespace

std::string BackendOutput::LogText(Stream stream, const std::string& line, size_t total_bytes) {
  return std::string(kStreamNames[stream]) + ": " +
         qvex_log::OneLine(line, qvex_log::kMaxLineBytes, total_bytes);
}

void BackendOutput::Feed(Stream stream, const char* bytes, size_t n) {
  std::lock_guard<std::mutex> lock(mutex_);
  Pending& line = pending_[stream];
  while (n > 0) {
    const char* end = static_cast<const char*>(memchr(bytes, '\n', n));
    const size_t piece = end ? static_cast<size_t>(end - bytes) : n;
    // A few bytes past the cut, so the escaping sees that the line goes on.
    const size_t room = qvex_log::kMaxLineBytes + 8;
    if (line.start.size() < room)
      line.start.append(bytes, std::min(piece, room - line.start.size()));
    line.total += piece;
    if (!end) break;
    Emit(stream, &line);
    bytes += piece + 1;
    n -= piece + 1;
  }
}

void BackendOutput::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (int stream : {kStdout, kStderr}) {
    if (pending_[stream].total > 0) Emit(static_cast<Stream>(stream), &pending_[stream]);
  }
}

void BackendOutput::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  kept_.clear();
  pending_[0] = Pending();
  pending_[1] = Pending();
}

std::string BackendOutput::LastLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const std::string& line : kept_) text += line + "\n";
  return text;
}

void BackendOutput::Emit(Stream stream, Pending* line) {
  if (!line->start.empty() && line->start.back() == '\r') line->start.pop_back();
  // The backend's own words: at INFO, in the log's layout, the stream named after "backend".
  if (LOG_IS_ON(INFO)) {
    cef::logging::LogMessage("backend", 0, cef::logging::LOG_INFO).stream()
        << LogText(stream, line->start, line->total);
  }
  kept_.push_back(qvex_log::OneLine(line->start, qvex_log::kMaxLineBytes, line->total));
  if (kept_.size() > kKeptLines) kept_.pop_front();
  *line = Pending();
}
