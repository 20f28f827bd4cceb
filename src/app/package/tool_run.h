// ToolRun: runs one of the system's tools (dpkg-deb, gzip, perl) for the packager, with text
// on its standard input and its standard output and error kept. The calling thread blocks
// until the tool has ended; any thread of a process that ignores SIGPIPE.
#ifndef QVEXDESK_APP_PACKAGE_TOOL_RUN_H_
#define QVEXDESK_APP_PACKAGE_TOOL_RUN_H_

#include <string>
#include <vector>

class ToolRun {
 public:
  struct Result {
    int status = -1;     // The exit status; -1 when it could not start or was killed.
    std::string output;  // Standard output.
    std::string errors;  // Standard error, or why it could not start.
  };

  // `argv[0]` is looked up on PATH. The environment is this process's.
  static Result Run(const std::vector<std::string>& argv, const std::string& input = "");
};

#endif  // QVEXDESK_APP_PACKAGE_TOOL_RUN_H_
