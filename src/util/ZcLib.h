// ZcLib: executable and project directories, environment, standard output and the append-only log.
#ifndef QVEX_UTIL_ZCLIB_H_
#define QVEX_UTIL_ZCLIB_H_

#include <string>

// Static helpers only; every operation may be called from any thread. The two cached values
// are found once per process: an empty result is not cached and is looked up again on the
// next call, a non-empty one is kept for the life of the process. Concurrent first calls are
// serialised by a lock per cache.
class ZcLib {
 public:
  ZcLib() = delete;

  // Directory of the running executable (from /proc/<pid>/exe), without a trailing separator;
  // empty if the link cannot be read.
  static std::string GetApplicationDir();

  // Value of the environment variable `name`; empty when unset or set to "".
  static std::string GetEnvVar(const std::string& name);

  // The project directory, from QVEX_PROJPATH; empty while the variable is unset.
  static std::string GetStartupPath();

  // Writes the bytes to standard output as they are: no line feed, no flush.
  static void consoleLog(std::string text);

  // Appends the bytes unchanged to GetStartupPath() + "/zcliblog.txt", creating the file. Each
  // call opens, writes with O_APPEND and closes, so lines from many threads or processes
  // writing at once stay whole. The text is dropped silently if the file cannot be opened.
  static void writeLog(std::string text);
  // writeLog of the text followed by one line feed.
  static void writeLogLine(std::string text);

  // Unused by the system; kept for callers that want a spare process-wide string.
  static std::string disc;
};

#endif  // QVEX_UTIL_ZCLIB_H_
