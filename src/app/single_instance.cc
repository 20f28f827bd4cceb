// SingleInstance: the lock, the socket and the request to come forward.
#include "app/single_instance.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "app/app_identity.h"
#include "app/project_file.h"

namespace {

// A later start writes "forward <startup id>\n"; the first answers "ok\n" once it has
// taken the request.
const char kRequest[] = "forward ";
const char kAnswer[] = "ok\n";
// Longer requests are cut: a startup id is a few dozen bytes.
constexpr size_t kMaxRequest = 1024;

long long NowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// A folder of ours alone: made when missing, refused when someone else owns it or others may
// write in it (a socket there could be anyone's).
bool PrivateDir(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info;
  if (lstat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid())
    return false;
  return (info.st_mode & 0077) == 0 || chmod(dir.c_str(), 0700) == 0;
}

// The display's own part of the names: instances on two displays are two apps.
std::string DisplayKey(const std::string& display) {
  std::string key;
  for (char c : display) key += (isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '_';
  return key.empty() ? "none" : key;
}

bool FillAddress(const std::string& path, sockaddr_un* address) {
  memset(address, 0, sizeof(*address));
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof(address->sun_path)) return false;
  memcpy(address->sun_path, path.c_str(), path.size());
  return true;
}

// Waits for `events` on `fd` until `deadline_ms`; false on time out.
bool WaitFor(int fd, short events, long long deadline_ms) {
  while (true) {
    const long long left = deadline_ms - NowMs();
    if (left <= 0) return false;
    struct pollfd p = {fd, events, 0};
    const int n = poll(&p, 1, static_cast<int>(left));
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
  }
}

}  // namespace

constexpr int SingleInstance::kAnswerTimeoutMs;
constexpr int SingleInstance::kLockRetryMs;

bool SingleInstance::Wanted(const ProjectFile& file, const AppIdentity& identity) {
  const rapidjson::Value* member = file.Member("single_instance");
  bool wanted = true;
  if (member && !member->IsBool()) {
    file.Report(false, "single_instance",
                std::string("is ") + ProjectFile::KindOf(*member) +
                    ", not true or false: ignored (the app runs once)",
                "write \"single_instance\": false to allow several instances");
  } else if (member) {
    wanted = member->GetBool();
  }
  if (member && member->IsBool() && wanted && !identity.has_id()) {
    file.Report(false, "single_instance",
                "needs the app's \"id\" (instances are told apart by it): ignored",
                "give the app an id, for example \"id\": \"dev.example.app\"");
  }
  return wanted && identity.has_id();
}

std::string SingleInstance::RuntimeDir() {
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    const std::string dir = std::string(runtime) + "/qvexdesk";
    if (PrivateDir(dir)) return dir;
  }
  const std::string dir = "/tmp/qvexdesk-" + std::to_string(getuid());
  return PrivateDir(dir) ? dir : std::string();
}

SingleInstance::~SingleInstance() {
  if (listener_.joinable()) {
    if (write(stop_pipe_[1], "x", 1) < 0) {
    }
    listener_.join();
  }
  for (int fd : {listen_fd_, stop_pipe_[0], stop_pipe_[1], pending_lock_fd_}) {
    if (fd >= 0) close(fd);
  }
  // The socket goes with the lock: a later start finds neither. One that another instance
  // bound in its place (while this one did not answer) is that one's, and stays.
  struct stat info;
  if (socket_inode_ != 0 && lstat(socket_path_.c_str(), &info) == 0 &&
      info.st_ino == socket_inode_)
    unlink(socket_path_.c_str());
  if (lock_fd_ >= 0) close(lock_fd_.load());
}

SingleInstance::Outcome SingleInstance::Claim(const std::string& id, const std::string& display,
                                              const std::string& startup_id, std::string* note) {
  const std::string dir = RuntimeDir();
  if (dir.empty()) {
    *note = "no private runtime folder: more than one instance may run";
    return Outcome::kUnavailable;
  }
  const std::string base = dir + "/" + id + "-" + DisplayKey(display);
  socket_path_ = base + ".socket";
  sockaddr_un address;
  if (!FillAddress(socket_path_, &address)) {
    *note = "the socket path " + socket_path_ + " is too long: more than one instance may run";
    return Outcome::kUnavailable;
  }
  const std::string lock_path = base + ".lock";
  const int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    *note = "cannot open " + lock_path + ": " + strerror(errno);
    return Outcome::kUnavailable;
  }
  // The kernel drops the lock of a process that died, however it died: a lock that is free
  // is ours, whatever an earlier instance left in the folder.
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // An instance that started while an earlier one hung runs without the lock until it
    // takes it over: if it answers, it is the running one.
    if (AskRunning(startup_id, /*retry=*/false)) {
      close(fd);
      *note = "already running: its window was brought forward";
      return Outcome::kForwarded;
    }
    lock_fd_ = fd;
    std::string why;
    if (!BindSocket(&why)) {
      *note = why + ": later starts cannot find this instance";
      return Outcome::kUnavailable;
    }
    note->clear();
    return Outcome::kFirst;
  }
  if (AskRunning(startup_id, /*retry=*/true)) {
    close(fd);
    *note = "already running: its window was brought forward";
    return Outcome::kForwarded;
  }
  // Holding the lock but not answering: hung. Run instead of it, answer later starts, and
  // take the lock when it goes (Serve).
  pending_lock_fd_ = fd;
  std::string why;
  if (!BindSocket(&why)) {
    *note = "the running instance did not answer and " + why;
    return Outcome::kUnavailable;
  }
  *note = "the running instance did not answer within " + std::to_string(kAnswerTimeoutMs) +
          " ms: starting anyway";
  return Outcome::kFirst;
}

bool SingleInstance::AskRunning(const std::string& startup_id, bool retry) const {
  const long long deadline = NowMs() + kAnswerTimeoutMs;
  sockaddr_un address;
  FillAddress(socket_path_, &address);
  std::string request = std::string(kRequest) + startup_id.substr(0, kMaxRequest - 16) + "\n";
  // The first instance may be between taking the lock and listening: try again until the
  // deadline.
  while (NowMs() < deadline) {
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    int status = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    if (status != 0 && (errno == EINPROGRESS || errno == EAGAIN)) {
      // A full backlog: wait for room.
      status = WaitFor(fd, POLLOUT, deadline) ? 0 : -1;
    }
    if (status != 0) {
      close(fd);
      if (!retry) return false;
      struct timespec pause = {0, 20 * 1000 * 1000};
      nanosleep(&pause, nullptr);
      continue;
    }
    bool answered = false;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
      char answer[8] = {0};
      size_t got = 0;
      while (got < strlen(kAnswer) && WaitFor(fd, POLLIN, deadline)) {
        const ssize_t n = recv(fd, answer + got, strlen(kAnswer) - got, 0);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
      answered = got == strlen(kAnswer) && memcmp(answer, kAnswer, got) == 0;
    }
    close(fd);
    return answered;
  }
  return false;
}

bool SingleInstance::BindSocket(std::string* why) {
  sockaddr_un address;
  FillAddress(socket_path_, &address);
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) {
    *why = std::string("cannot make a socket: ") + strerror(errno);
    return false;
  }
  // A socket left by an instance that died (or by the one that hung) is replaced.
  unlink(socket_path_.c_str());
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listen_fd_, 8) != 0) {
    *why = "cannot listen on " + socket_path_ + ": " + strerror(errno);
    close(listen_fd_);
    listen_fd_ = -1;
    return false;
  }
  struct stat info;
  if (lstat(socket_path_.c_str(), &info) == 0) socket_inode_ = info.st_ino;
  return true;
}

void SingleInstance::Listen(std::function<void(const std::string& startup_id)> on_asked) {
  if (listen_fd_ < 0 || listener_.joinable() || pipe2(stop_pipe_, O_CLOEXEC) != 0) return;
  on_asked_ = std::move(on_asked);
  listener_ = std::thread([this] { Serve(); });
}

void SingleInstance::Serve() {
  while (true) {
    struct pollfd p[2] = {{listen_fd_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    // Without the lock (the instance before did not answer), try for it now and then.
    const int n = poll(p, 2, pending_lock_fd_ >= 0 ? kLockRetryMs : -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (pending_lock_fd_ >= 0 && flock(pending_lock_fd_, LOCK_EX | LOCK_NB) == 0) {
      lock_fd_.store(pending_lock_fd_);
      pending_lock_fd_ = -1;
    }
    if (n == 0) continue;
    if (p[1].revents) return;
    if (!(p[0].revents & POLLIN)) continue;
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    // Only the same user may ask (the folder is private; this is the second lock).
    struct ucred peer;
    socklen_t length = sizeof(peer);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != getuid()) {
      close(fd);
      continue;
    }
    // A caller that sends nothing is not waited for long.
    std::string request;
    const long long deadline = NowMs() + kAnswerTimeoutMs;
    char buffer[256];
    while (request.find('\n') == std::string::npos && request.size() < kMaxRequest &&
           WaitFor(fd, POLLIN, deadline)) {
      const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    const size_t end = request.find('\n');
    if (end != std::string::npos && request.compare(0, strlen(kRequest), kRequest) == 0) {
      const std::string startup_id = request.substr(strlen(kRequest), end - strlen(kRequest));
      on_asked_(startup_id);
      send(fd, kAnswer, strlen(kAnswer), MSG_NOSIGNAL);
    }
    close(fd);
  }
}
