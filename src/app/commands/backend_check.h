// BackendCheck: the backend part of `qvexdesk --check`: what the shell would start, found
// without starting it (the command's program, the directory, the port's use). Main thread.
#ifndef QVEXDESK_APP_COMMANDS_BACKEND_CHECK_H_
#define QVEXDESK_APP_COMMANDS_BACKEND_CHECK_H_

#include <string>

#include "app/commands/check_report.h"

class BackendConfig;
class ProjectFile;

class BackendCheck {
 public:
  // After the project file's own faults have been read (BackendConfig::From reports those).
  static void Run(const ProjectFile& file, const BackendConfig& config, CheckReport* report);

  // The program a shell command line runs first: leading NAME=value words and "exec" passed
  // over; empty when the line starts with something else of the shell's own (a builtin, a
  // keyword, a substitution), whose program cannot be told without running it.
  static std::string FirstProgram(const std::string& command);
  // The program's file: as given when it holds a slash (relative to `directory`), else from
  // $PATH; empty when not found. `why` says what is wrong with a file that was found.
  static std::string FindProgram(const std::string& program, const std::string& directory,
                                 std::string* why);
};

#endif  // QVEXDESK_APP_COMMANDS_BACKEND_CHECK_H_
