// ProgramInfo: the answers to `--version` and `--help`, given on standard output before the
// shell opens a display or starts any engine process (main thread, browser process only).
#ifndef QVEXDESK_APP_PROGRAM_INFO_H_
#define QVEXDESK_APP_PROGRAM_INFO_H_

#include <ostream>
#include <string>

class ProgramInfo {
 public:
  // "qvexdesk 0.1": the name and the version the build was configured with.
  static std::string VersionText();
  // "0.1": the version alone.
  static std::string Version();
  // "qvexdesk/0.1": the name and version as the engine reports them (to a WebDriver session).
  static std::string ProductVersion();
  // The short usage: the manual page's synopsis, each switch, the environment.
  static std::string UsageText();

  // Writes the usage when the command line has "help" (it wins), else the version when it has
  // "version", and returns the exit status: 0 once written, 1 when `out` failed (a closed or
  // full standard output is an error, not a silent success). Returns -1 when neither switch
  // is there: the shell goes on as usual.
  static int Answer(int argc, const char* const* argv, std::ostream& out);
};

#endif  // QVEXDESK_APP_PROGRAM_INFO_H_
