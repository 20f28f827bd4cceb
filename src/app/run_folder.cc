// RunFolder: a run's private storage folder and the removal of those left behind.
#include "app/run_folder.h"

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

bool ProcessIsGone(const std::string& digits) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  const long pid = strtol(digits.c_str(), nullptr, 10);
  return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

}  // namespace

RunFolder::~RunFolder() {
  if (!path_.empty()) RemoveTree(path_);
}

void RunFolder::RemoveTree(const std::string& dir) {
  // Depth first, the folder itself last; links are removed, not followed.
  nftw(dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool RunFolder::Create(const std::string& runtime_dir, const std::string& id, std::string* why) {
  if (runtime_dir.empty()) {
    *why = "no private runtime folder";
    return false;
  }
  const std::string prefix = id + ".run-";
  if (DIR* dir = opendir(runtime_dir.c_str())) {
    while (struct dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.compare(0, prefix.size(), prefix) == 0 && ProcessIsGone(name.substr(prefix.size())))
        RemoveTree(runtime_dir + "/" + name);
    }
    closedir(dir);
  }
  const std::string path = runtime_dir + "/" + prefix + std::to_string(getpid());
  RemoveTree(path);  // A pid reused from a run that died.
  if (mkdir(path.c_str(), 0700) != 0) {
    *why = "cannot create " + path + ": " + strerror(errno);
    return false;
  }
  path_ = path;
  return true;
}
