// Process: fork/exec of the shell, the reader thread that drains both output pipes, and the
// child's exit status.
#include "process/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <thread>

extern char** environ;

namespace qvex {

namespace {

// Highest descriptor number worth closing if close_range() is missing (old kernels).
constexpr int kMaxFallbackFd = 65536;

void closeFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

// A close-on-exec pipe whose ends are both above the standard streams, so that the child can
// dup2() them onto 0, 1 and 2 in any order without one overwriting another.
bool makePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return false;
  for (int i = 0; i < 2; ++i) {
    if (fds[i] > 2)
      continue;
    int moved = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
    ::close(fds[i]);
    fds[i] = moved;
  }
  if (fds[0] < 0 || fds[1] < 0) {
    closeFd(fds[0]);
    closeFd(fds[1]);
    return false;
  }
  return true;
}

// Runs in the child between fork() and exec(): async-signal-safe calls only, every string
// prepared by the parent.
[[noreturn]] void execChild(const char* const argv[], const char* const envp[],
                            const char* path, const std::string& cd_error, int in_fd,
                            int out_fd, int err_fd, int max_fd) {
  ::setpgid(0, 0);

  // Handlers of this program mean nothing to the shell, and the child must stop on our SIGINT
  // and see broken pipes even if this program ignores either signal.
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) != 0)
      continue;
    bool ignored = old.sa_handler == SIG_IGN && !(old.sa_flags & SA_SIGINFO);
    if (sig == SIGINT || sig == SIGPIPE || (!ignored && old.sa_handler != SIG_DFL))
      ::sigaction(sig, &dfl, nullptr);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  // dup2() clears close-on-exec on the copies; every other descriptor goes.
  if (::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0)
    ::_exit(127);
  if (::close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd < max_fd; ++fd)
      ::close(fd);
  }

  if (path[0] != '\0' && ::chdir(path) != 0) {
    ssize_t ignored = ::write(2, cd_error.data(), cd_error.size());
    (void)ignored;
    ::_exit(2);
  }
  if (envp)
    ::execve("/bin/sh", const_cast<char* const*>(argv), const_cast<char* const*>(envp));
  else
    ::execv("/bin/sh", const_cast<char* const*>(argv));
  ::_exit(127);
}

// The group watcher, in a grandchild that init adopts: async-signal-safe calls only. It waits
// on the read end of a pipe whose write end only this program holds. A byte means "leave
// quietly"; end of file without one means the program has gone, so the group goes too.
[[noreturn]] void runGroupWatch(int read_fd, pid_t group) {
  ::setsid();  // No terminal's or group's signal reaches it.
  sigset_t all;
  sigfillset(&all);
  ::sigprocmask(SIG_SETMASK, &all, nullptr);
  if (read_fd > 0)
    ::close_range(0, static_cast<unsigned>(read_fd - 1), 0);
  ::close_range(static_cast<unsigned>(read_fd + 1), ~0U, 0);
  ::prctl(PR_SET_NAME, "qvex-groupwatch", 0, 0, 0);
  char byte;
  ssize_t n;
  while ((n = ::read(read_fd, &byte, 1)) < 0 && errno == EINTR) {
  }
  if (n == 1)
    ::_exit(0);
  ::kill(-group, SIGTERM);
  for (int i = 0; i < 10; ++i) {
    struct timespec pause = {0, 100 * 1000 * 1000};
    ::nanosleep(&pause, nullptr);
    if (::kill(-group, 0) != 0 && errno == ESRCH)
      ::_exit(0);
  }
  ::kill(-group, SIGKILL);
  ::_exit(0);
}

// The processes `pid` has started and not yet lost, from the kernel's list of its children.
std::set<pid_t> childrenOf(pid_t pid) {
  std::set<pid_t> children;
  std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                     "/children");
  for (pid_t child; list >> child;)
    children.insert(child);
  return children;
}

bool isTheShell(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  return std::getline(comm, name) && name == "sh";
}

bool hasEnded(pid_t pid) {
  siginfo_t info = {};
  return ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid;
}

}  // namespace

Process::Process(const std::string& command, const std::string& path, Reader read_stdout,
                 Reader read_stderr)
    : Process(command, path, std::move(read_stdout), std::move(read_stderr), Options()) {}

Process::Process(const std::string& command, const std::string& path, Reader read_stdout,
                 Reader read_stderr, const Options& options)
    : read_stdout_(std::move(read_stdout)), read_stderr_(std::move(read_stderr)) {
  start(command, path, options);
}

Process::~Process() {
  {
    std::lock_guard<std::mutex> lock(stdin_mutex_);
    closeFd(stdin_fd_);
  }
  joinReader();
  closeFd(stdout_fd_);
  closeFd(stderr_fd_);
  endGroupWatch();
}

void Process::start(const std::string& command, const std::string& path,
                    const Options& options) {
  // Everything the child needs is built before fork(): after it, another thread of this
  // program may hold the allocator's lock forever as far as the child is concerned.
  const char* const argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  const std::string cd_error = "/bin/sh: cd: can't cd to " + path + "\n";
  // The environment with the options' variables in place of any of the same name.
  std::vector<std::string> env_strings;
  std::vector<const char*> envp;
  if (!options.environment.empty()) {
    auto name_of = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; e && *e; ++e) {
      const std::string entry = *e;
      bool replaced = false;
      for (const std::string& mine : options.environment)
        replaced = replaced || name_of(mine) == name_of(entry);
      if (!replaced)
        env_strings.push_back(entry);
    }
    env_strings.insert(env_strings.end(), options.environment.begin(),
                       options.environment.end());
    for (const std::string& entry : env_strings)
      envp.push_back(entry.c_str());
    envp.push_back(nullptr);
  }
  int max_fd = kMaxFallbackFd;
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < static_cast<rlim_t>(kMaxFallbackFd)) {
    max_fd = static_cast<int>(limit.rlim_cur);
  }

  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (!makePipe(in) || !makePipe(out) || !makePipe(err)) {
    for (int* fds : {in, out, err}) {
      closeFd(fds[0]);
      closeFd(fds[1]);
    }
    return;
  }

  // No signal handler of ours may run in the child before exec: keep them all blocked across
  // fork(); the child resets them and unblocks.
  sigset_t all, old_mask;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old_mask);
  pid_t pid = ::fork();
  if (pid == 0)
    execChild(argv, envp.empty() ? nullptr : envp.data(), path.c_str(), cd_error, in[0],
              out[1], err[1], max_fd);
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);

  closeFd(in[0]);
  closeFd(out[1]);
  closeFd(err[1]);
  if (pid < 0) {
    closeFd(in[1]);
    closeFd(out[0]);
    closeFd(err[0]);
    return;
  }
  // Also set the group from here, so that kill() reaches the group even before the child has
  // run its first instruction. It fails harmlessly once the child has exec'd.
  ::setpgid(pid, pid);
  pid_ = pid;
  stdin_fd_ = in[1];
  stdout_fd_ = out[0];
  stderr_fd_ = err[0];
  if (options.die_with_parent)
    startGroupWatch();
  output_open_ = true;

  try {
    reader_ = std::thread(&Process::readOutput, this);
  } catch (const std::system_error&) {
    // Without a reader the child would block on a full pipe: stop it and report it as never
    // started.
    ::kill(-pid_, SIGKILL);
    int status;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    collected_ = true;
    closeFd(stdin_fd_);
    closeFd(stdout_fd_);
    closeFd(stderr_fd_);
  }
}

void Process::startGroupWatch() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0)
    return;
  sigset_t all, old_mask;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &old_mask);
  const pid_t group = pid_;
  pid_t middle = ::fork();
  if (middle == 0) {
    // A middle child that leaves at once, so that init adopts the watcher and nobody here has
    // to collect it.
    if (::fork() == 0)
      runGroupWatch(fds[0], group);
    ::_exit(0);
  }
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  ::close(fds[0]);
  if (middle < 0) {
    ::close(fds[1]);
    return;
  }
  int status;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  watch_fd_ = fds[1];
}

void Process::endGroupWatch() {
  if (watch_fd_ < 0)
    return;
  // A watcher that is gone already must not raise SIGPIPE here.
  sigset_t pipe_set, old_mask;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe_set, &old_mask);
  const char leave = 'x';
  if (::write(watch_fd_, &leave, 1) < 0 && errno == EPIPE) {
    struct timespec zero = {0, 0};
    while (::sigtimedwait(&pipe_set, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  closeFd(watch_fd_);
}

int Process::wait_status() {
  std::lock_guard<std::mutex> lock(state_mutex_);
  return wait_status_;
}

bool Process::signal(int sig) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (pid_ <= 0 || (collected_ && !output_open_))
    return false;
  return ::kill(-pid_, sig) == 0;
}

void Process::readOutput() {
  std::unique_ptr<char[]> buffer(new char[kReadBufferSize]);
  struct pollfd fds[2] = {{stdout_fd_, POLLIN, 0}, {stderr_fd_, POLLIN, 0}};
  const Reader* readers[2] = {&read_stdout_, &read_stderr_};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0)
        continue;
      ssize_t n = ::read(fds[i].fd, buffer.get(), kReadBufferSize);
      if (n < 0 && (errno == EINTR || errno == EAGAIN))
        continue;
      if (n <= 0) {
        // End of stream (every writer has closed it) or an error: stop polling this pipe. A
        // negative descriptor is skipped by poll(); the destructor closes the real one.
        fds[i].fd = -1;
        --open;
        continue;
      }
      if (!*readers[i])
        continue;
      try {
        (*readers[i])(buffer.get(), static_cast<size_t>(n));
      } catch (...) {
        // A throwing callback loses its chunk but must not end the program or the reader.
      }
    }
  }
  output_open_ = false;
}

void Process::joinReader() {
  std::lock_guard<std::mutex> lock(reader_mutex_);
  // A callback that asks for the exit status cannot wait for its own thread.
  if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id())
    reader_.join();
}

int Process::get_exit_status() {
  if (pid_ <= 0)
    return -1;
  bool collected;
  {
    std::lock_guard<std::mutex> lock(state_mutex_);
    collected = collected_;
  }
  if (!collected) {
    // Wait without collecting, then collect under the lock: kill() holds the same lock, so it
    // never signals a process id that has been released for reuse.
    siginfo_t info;
    while (::waitid(P_PID, pid_, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> lock(state_mutex_);
    if (!collected_) {
      int status = 0;
      pid_t result;
      while ((result = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
      }
      if (result == pid_) {
        exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : status;
        wait_status_ = status;
      }
      collected_ = true;
    }
  }
  joinReader();
  std::lock_guard<std::mutex> lock(state_mutex_);
  return exit_status_;
}

bool Process::write(const char* bytes, size_t n) {
  std::lock_guard<std::mutex> lock(stdin_mutex_);
  if (stdin_fd_ < 0)
    return false;

  // A pipe whose reader has gone raises SIGPIPE in the writing thread. Block it here only,
  // and consume the one this write raised, so that neither the program nor its other threads
  // see it and the process-wide disposition stays untouched.
  sigset_t pipe_set, old_mask, pending;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  ::pthread_sigmask(SIG_BLOCK, &pipe_set, &old_mask);
  sigemptyset(&pending);
  ::sigpending(&pending);
  const bool was_pending = sigismember(&pending, SIGPIPE) == 1;

  bool ok = true;
  int error = 0;
  size_t done = 0;
  while (done < n) {
    ssize_t w = ::write(stdin_fd_, bytes + done, n - done);
    if (w < 0) {
      if (errno == EINTR)
        continue;
      error = errno;
      ok = false;
      break;
    }
    done += static_cast<size_t>(w);
  }

  if (error == EPIPE && !was_pending) {
    struct timespec zero = {0, 0};
    while (::sigtimedwait(&pipe_set, nullptr, &zero) < 0 && errno == EINTR) {
    }
  }
  ::pthread_sigmask(SIG_SETMASK, &old_mask, nullptr);
  return ok;
}

bool Process::write(const std::string& data) {
  return write(data.data(), data.size());
}

void Process::kill(bool force) {
  std::lock_guard<std::mutex> lock(state_mutex_);
  if (pid_ <= 0 || collected_)
    return;
  const int sig = force ? SIGKILL : SIGINT;
  // What the shell had started and exec'd before the signal: those processes have it.
  std::set<pid_t> running;
  if (!force) {
    for (pid_t child : childrenOf(pid_)) {
      if (!isTheShell(child))
        running.insert(child);
    }
  }
  if (::kill(-pid_, sig) != 0 && errno == ESRCH)
    ::kill(pid_, sig);
  if (!force && isTheShell(pid_))
    interruptLateCommands(running);
}

void Process::interruptLateCommands(std::set<pid_t> running) {
  // The shell (dash) catches SIGINT, and one that comes while it is still starting its command
  // means "stop once the command is done" to it; the command starts all the same. A signal that
  // reaches a command's process before its exec runs the shell's handler there and is lost as
  // well. So each command process that runs the command only after the signal gets it then.
  // The shell starts its command within moments of its own start; 200 ms bounds the watch.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  while (std::chrono::steady_clock::now() < give_up && !hasEnded(pid_)) {
    bool starting = false;
    for (pid_t child : childrenOf(pid_)) {
      if (running.count(child) != 0)
        continue;
      if (isTheShell(child)) {
        starting = true;
        continue;
      }
      ::kill(child, SIGINT);
      running.insert(child);
    }
    if (!starting && !running.empty())
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace qvex
