// BackendPort: choosing and remembering the backend's port.
#include "app/backend/backend_port.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "util/ZcLib.h"

namespace {

// Binds 127.0.0.1:`port` (0: any) and returns the port bound, or 0.
int Bind(int port, std::string* why) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (why) *why = strerror(errno);
    return 0;
  }
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  int bound = 0;
  socklen_t length = sizeof(address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    bound = ntohs(address.sin_port);
  } else if (why) {
    *why = strerror(errno);
  }
  close(fd);
  return bound;
}

void MakeFolders(const std::string& file) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    mkdir(file.substr(0, slash).c_str(), 0700);
  }
}

}  // namespace

bool BackendPort::IsFree(int port) { return port > 0 && port < 65536 && Bind(port, nullptr) == port; }

int BackendPort::Choose(const std::string& memory, std::string* why) {
  int remembered = 0;
  {
    std::ifstream in(memory);
    in >> remembered;
  }
  if (IsFree(remembered)) return remembered;
  const int port = Bind(0, why);
  if (port == 0) return 0;
  MakeFolders(memory);
  // Written whole under another name and moved into place: two shells never see half a number.
  const std::string temporary = memory + ".new" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << port << "\n";
  }
  if (rename(temporary.c_str(), memory.c_str()) != 0) unlink(temporary.c_str());
  return port;
}

std::string BackendPort::DefaultFolder() {
  std::string state = ZcLib::GetEnvVar("XDG_STATE_HOME");
  if (state.empty() || state[0] != '/') state = ZcLib::GetEnvVar("HOME") + "/.local/state";
  return state + "/qvexdesk/backend-ports";
}

std::string BackendPort::FileNameFor(const std::string& key) {
  std::string name;
  for (unsigned char c : key) {
    if (isalnum(c) || c == '.' || c == '-' || c == '_') {
      name += static_cast<char>(c);
    } else {
      char escaped[4];
      snprintf(escaped, sizeof(escaped), "%%%02X", c);
      name += escaped;
    }
  }
  if (name.empty() || name[0] == '.') name = "_" + name;
  return name;
}
