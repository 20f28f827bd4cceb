// CheckCommand: `qvexdesk --check [--json]`: what is wrong with the project named by
// QVEX_PROJPATH and with this desktop, said before anyone stares at a blank window. Runs in
// place of the shell, before the engine starts; opens no window. Main thread, browser process.
#ifndef QVEXDESK_APP_CHECK_COMMAND_H_
#define QVEXDESK_APP_CHECK_COMMAND_H_

#include <ostream>

class CheckCommand {
 public:
  // With the switch "check": checks the project (with the --url and --safe-rendering given
  // beside it) and the machine, writes one line per finding to `out` (one JSON document with
  // "json") and returns the exit status: 0 without an error, 1 with one or when `out` failed.
  // Returns -1 without "check": the shell goes on as usual.
  static int Answer(int argc, const char* const* argv, std::ostream& out);
};

#endif  // QVEXDESK_APP_CHECK_COMMAND_H_
