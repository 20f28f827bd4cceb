// FileIo: reads a whole file into a byte string, with failures returned in place of the content.
#ifndef QVEX_UTIL_FILEIO_H_
#define QVEX_UTIL_FILEIO_H_

#include <string>

// Static helpers only; safe on any thread.
class FileIo {
 public:
  FileIo() = delete;

  // Returns the whole content of `fileName` (relative names are taken against the current
  // working directory), NUL bytes included. Never throws: a file that cannot be opened (or is
  // a directory) gives "File Can't open " + the absolute path, a failure of the file-system or
  // stream layer gives its what() text, anything else "unknown error". Callers cannot tell an
  // error text from a file that happens to hold the same bytes.
  static std::string ReadAllBytes(const std::string& fileName);
};

#endif  // QVEX_UTIL_FILEIO_H_
