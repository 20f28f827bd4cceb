// BackendWrites: a guess whether the backend's command line writes into the project folder,
// which an installed app cannot write (it lies under /usr/lib). Reads shell redirections
// (> and >>) and tee to a relative path; a program that opens files itself is not seen.
// Any thread.
#ifndef QVEXDESK_APP_PACKAGE_BACKEND_WRITES_H_
#define QVEXDESK_APP_PACKAGE_BACKEND_WRITES_H_

#include <string>

class ProjectFile;

class BackendWrites {
 public:
  // What --check says it looked at.
  static constexpr char kWhatIsChecked[] =
      "> and >> redirections and tee to a path relative to the project";

  // The backend's command line ("backend": {"command": ...}); empty when there is none. The
  // one place the packager reads the backend's key.
  static std::string CommandOf(const ProjectFile& file);

  // The first place in `command` that writes into the project's folder, as it is written
  // there ("> server.log"); empty when none is seen.
  static std::string Guess(const std::string& command);
};

#endif  // QVEXDESK_APP_PACKAGE_BACKEND_WRITES_H_
