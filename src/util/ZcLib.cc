// ZcLib: executable and project directories, environment, standard output and the append-only log.
#include "util/ZcLib.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <vector>

namespace {

constexpr char kProjectPathVar[] = "QVEX_PROJPATH";
constexpr char kLogFileName[] = "/zcliblog.txt";

// Reads a symbolic link whole; readlink truncates silently when the buffer is too small, so the
// buffer grows until the target fits. Empty if the link cannot be read.
std::string ReadLink(const std::string& link) {
  for (size_t size = 1024; size <= (1u << 20); size *= 2) {
    std::vector<char> buffer(size, '\0');
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
    if (n <= 0)
      return std::string();
    if (static_cast<size_t>(n) < buffer.size())
      return std::string(buffer.data());  // Up to the first NUL.
  }
  return std::string();
}

}  // namespace

std::string ZcLib::disc;

std::string ZcLib::GetApplicationDir() {
  static std::mutex mutex;
  static std::string sbinPath;
  std::lock_guard<std::mutex> lock(mutex);
  if (!sbinPath.empty())
    return sbinPath;

  const std::string target = ReadLink("/proc/" + std::to_string(getpid()) + "/exe");
  if (!target.empty()) {
    const size_t separator = target.find_last_of("/\\");
    sbinPath = separator == std::string::npos ? target : target.substr(0, separator);
  }
  return sbinPath;
}

std::string ZcLib::GetEnvVar(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

std::string ZcLib::GetStartupPath() {
  static std::mutex mutex;
  static std::string startupPath;
  std::lock_guard<std::mutex> lock(mutex);
  if (startupPath.empty())
    startupPath = GetEnvVar(kProjectPathVar);
  return startupPath;
}

void ZcLib::consoleLog(std::string text) {
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void ZcLib::writeLog(std::string text) {
  const std::string path = GetStartupPath() + kLogFileName;
  int fd;
  do {
    fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return;
  // One write() normally takes the whole text, which O_APPEND places at the end atomically.
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    const ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    data += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
}

void ZcLib::writeLogLine(std::string text) {
  writeLog(text + "\n");
}
