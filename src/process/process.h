// Process: one child run as "/bin/sh -c <command>" with piped standard streams; its output
// callbacks run on the object's own reader thread.
#ifndef QVEX_PROCESS_PROCESS_H_
#define QVEX_PROCESS_PROCESS_H_

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace qvex {

// The child starts at once, from the constructor, in a process group of its own and with this
// program's environment. It inherits no file descriptor besides its three standard streams:
// standard input is a pipe from write(), standard output and standard error are pipes read by
// one reader thread per object.
//
// Threads: any thread may call write(), kill() and get_exit_status(); the callbacks run on the
// reader thread, one at a time, never both at once.
class Process {
 public:
  // Receives one chunk of output: at most kReadBufferSize bytes, no terminator added.
  using Reader = std::function<void(const char* bytes, size_t n)>;

  static constexpr size_t kReadBufferSize = 131072;

  // How the child is started beyond the command and its directory.
  struct Options {
    // "NAME=value" entries added to this program's environment (replacing a variable of the
    // same name); empty: the environment as it is.
    std::vector<std::string> environment;
    // The child's whole process group is ended when this program ends in any way (SIGKILL and
    // crashes included): a small watcher process ("qvex-groupwatch") sees this program's end
    // and sends SIGTERM to the group, then SIGKILL to what is left a second later.
    bool die_with_parent = false;
  };

  // Runs `command` through the shell, after changing into `path` when it is not empty. A
  // directory that cannot be entered is reported on the child's standard error and the child
  // exits with status 2, as the shell does for a failed "cd". If the child cannot be created
  // at all nothing runs, no thread starts and get_exit_status() returns -1. Null readers
  // discard their stream.
  Process(const std::string& command, const std::string& path, Reader read_stdout,
          Reader read_stderr);
  Process(const std::string& command, const std::string& path, Reader read_stdout,
          Reader read_stderr, const Options& options);
  // Closes standard input, then waits until the output pipes close (normally when the child
  // and everything it started have exited) and the last chunk has been delivered. It does not
  // wait for or collect the child itself.
  ~Process();

  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Blocks until the child has exited and collects it, then waits for the reader thread so
  // that every chunk has been delivered. Returns the exit code for a normal exit, the raw wait
  // status for a child ended by a signal (the signal number, plus 128 if a core was dumped),
  // -1 if the child was never started. Later calls return the same value.
  int get_exit_status();

  // Sends all bytes to the child's standard input, blocking while the pipe is full. Returns
  // false if not every byte could be sent, e.g. because the child no longer reads its input.
  // A closed pipe never raises SIGPIPE in this program.
  bool write(const char* bytes, size_t n);
  bool write(const std::string& data);

  // Sends SIGINT (SIGKILL when `force`) to the child's process group. Does nothing once the
  // child has been collected, so a reused process id is never signalled. A shell interrupted
  // while still starting would run its command regardless: for up to 200 ms the command it
  // then starts gets the SIGINT too.
  void kill(bool force = false);

  // Sends `sig` to the child's process group while the child or anything else holding its
  // output runs (its output pipes are open); returns false when nothing was signalled.
  bool signal(int sig);

  // The child's raw wait status once get_exit_status() has collected it (0 before).
  int wait_status();

  // Process id of the child; -1 if it was never started.
  pid_t get_id() const { return pid_; }

 private:
  void start(const std::string& command, const std::string& path, const Options& options);
  void startGroupWatch();
  void endGroupWatch();
  void readOutput();
  void joinReader();
  void interruptLateCommands(std::set<pid_t> running);

  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int stdout_fd_ = -1;
  int stderr_fd_ = -1;
  int watch_fd_ = -1;  // Write end of the group watcher's pipe; -1 without a watcher.
  std::atomic<bool> output_open_{false};
  Reader read_stdout_;
  Reader read_stderr_;
  std::thread reader_;

  std::mutex state_mutex_;  // Guards collected_ and exit_status_, and orders kill() with them.
  bool collected_ = false;
  int exit_status_ = -1;
  int wait_status_ = 0;

  std::mutex stdin_mutex_;   // One writer at a time keeps concurrent writes whole.
  std::mutex reader_mutex_;  // Serialises joining the reader thread.
};

}  // namespace qvex

#endif  // QVEX_PROCESS_PROCESS_H_
