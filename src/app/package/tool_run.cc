// ToolRun: a tool run with its three standard streams on pipes, served by one poll loop so a
// tool that writes much while it reads never blocks on a full pipe.
#include "app/package/tool_run.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void CloseBoth(int fds[2]) {
  for (int i = 0; i < 2; ++i) {
    if (fds[i] >= 0) close(fds[i]);
    fds[i] = -1;
  }
}

}  // namespace

ToolRun::Result ToolRun::Run(const std::vector<std::string>& argv, const std::string& input) {
  Result result;
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (argv.empty() || pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
      pipe2(err, O_CLOEXEC) != 0) {
    result.errors = argv.empty() ? "no tool named" : std::string("pipe: ") + strerror(errno);
    CloseBoth(in), CloseBoth(out), CloseBoth(err);
    return result;
  }
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    signal(SIGPIPE, SIG_DFL);
    execvp(args[0], args.data());
    const std::string why = "cannot run " + argv[0] + ": " + strerror(errno) + "\n";
    (void)!write(2, why.data(), why.size());
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  in[0] = out[1] = err[1] = -1;
  if (pid < 0) {
    result.errors = std::string("fork: ") + strerror(errno);
    CloseBoth(in), CloseBoth(out), CloseBoth(err);
    return result;
  }

  size_t written = 0;
  if (input.empty()) CloseBoth(in);
  while (out[0] >= 0 || err[0] >= 0) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[2].revents) {
      // A tool that stops reading gives EPIPE: its caller ignores SIGPIPE.
      const ssize_t n = write(in[1], input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if (n < 0 || written == input.size()) CloseBoth(in);
    }
    for (int i = 0; i < 2; ++i) {
      if (!fds[i].revents) continue;
      char buffer[65536];
      const ssize_t n = read(fds[i].fd, buffer, sizeof(buffer));
      if (n > 0) {
        (i == 0 ? result.output : result.errors).append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        CloseBoth(i == 0 ? out : err);
      }
    }
  }
  CloseBoth(in), CloseBoth(out), CloseBoth(err);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}
