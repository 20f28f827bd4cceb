// PackageCommand: `qvexdesk --package [--out=DIR]`: builds the Debian package of the project
// named by QVEX_PROJPATH and prints its path. Runs in place of the shell, before the engine
// starts; opens no window. Main thread, browser process.
#ifndef QVEXDESK_APP_COMMANDS_PACKAGE_COMMAND_H_
#define QVEXDESK_APP_COMMANDS_PACKAGE_COMMAND_H_

#include <ostream>

class PackageCommand {
 public:
  // With the switch "package": the package's path on `out`; the findings that stop it, and
  // notes, on `err`. Returns 0 once built, 1 otherwise; -1 without "package".
  static int Answer(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
};

#endif  // QVEXDESK_APP_COMMANDS_PACKAGE_COMMAND_H_
