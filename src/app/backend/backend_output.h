// BackendOutput: the backend's standard output and standard error as lines of the shell's log,
// and the last lines of both kept for the panels. Feed runs on the child's reader thread;
// LastLines on any thread.
#ifndef QVEXDESK_APP_BACKEND_BACKEND_OUTPUT_H_
#define QVEXDESK_APP_BACKEND_BACKEND_OUTPUT_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

class BackendOutput {
 public:
  static constexpr size_t kKeptLines = 50;
  enum Stream { kStdout = 0, kStderr = 1 };

  // One chunk of a stream: each whole line is logged and kept; a line longer than the log
  // takes is cut as console lines are, and only its start is held while it goes on, so a
  // backend that writes without line feeds costs no more memory than one line.
  void Feed(Stream stream, const char* bytes, size_t n);
  // The unfinished line of each stream, as a line of its own (the child has ended).
  void Flush();
  // A new run: the kept lines and any unfinished line go.
  void Clear();
  // The kept lines, oldest first, each ended by a line feed (escaped as in the log).
  std::string LastLines() const;

  // "backend stdout: ..." as it goes to the log (for tests).
  static std::string LogText(Stream stream, const std::string& line, size_t total_bytes);

 private:
  struct Pending {
    std::string start;  // At most the log's line length (plus a little to know it was cut).
    size_t total = 0;
  };
  void Emit(Stream stream, Pending* line);

  mutable std::mutex mutex_;
  Pending pending_[2];
  std::deque<std::string> kept_;
};

#endif  // QVEXDESK_APP_BACKEND_BACKEND_OUTPUT_H_
