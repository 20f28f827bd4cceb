// AppFolders: an app's data and cache folders by its id.
#include "app/app_folders.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

namespace {

// An XDG base folder: the variable when it holds an absolute path, else the default under home.
std::string BaseDir(const AppFolders::Environment& env, const char* variable,
                    const char* under_home) {
  const std::string value = env(variable);
  if (!value.empty() && value[0] == '/') return value;
  const std::string home = env("HOME");
  if (home.empty()) return std::string();
  return home + "/" + under_home;
}

}  // namespace

AppFolders::Environment AppFolders::ProcessEnvironment() {
  return [](const char* name) {
    const char* value = getenv(name);
    return value ? std::string(value) : std::string();
  };
}

AppFolders AppFolders::ForId(const std::string& id, const Environment& env) {
  AppFolders folders;
  if (id.empty()) return folders;
  const std::string data = BaseDir(env, "XDG_DATA_HOME", ".local/share");
  const std::string cache = BaseDir(env, "XDG_CACHE_HOME", ".cache");
  if (data.empty() || cache.empty()) return folders;  // No home at all: nowhere to keep things.
  folders.data_dir_ = data + "/" + id;
  folders.cache_dir_ = cache + "/" + id;
  return folders;
}

bool AppFolders::Create(const std::string& dir, std::string* why) {
  if (dir.empty() || dir[0] != '/') {
    if (why) *why = "no absolute folder";
    return false;
  }
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      if (why) *why = "cannot create " + part + ": " + strerror(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat info;
  if (stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    if (why) *why = dir + " is not a folder";
    return false;
  }
  // A folder made earlier by someone else's rules (a wider umask, a copy) is narrowed.
  if ((info.st_mode & 0077) != 0 && chmod(dir.c_str(), 0700) != 0) {
    if (why) *why = "cannot make " + dir + " private: " + strerror(errno);
    return false;
  }
  return true;
}
