// DownloadNames: where a download goes and under which name, decided from what the server or
// the page suggested. Pure functions on strings; any thread.
#ifndef QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOAD_NAMES_H_
#define QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOAD_NAMES_H_

#include <string>

namespace qvex_engine {

class DownloadNames {
 public:
  // Names are file names of one component: a file system takes at most this many bytes.
  static constexpr size_t kMaxNameBytes = 255;

  // The user's download folder: `xdg_download` (the XDG download directory, empty when the
  // user has none), or "<home>/Downloads" when there is none or it is the home folder itself
  // (files would land among the user's own).
  static std::string Folder(const std::string& xdg_download, const std::string& home);

  // A name that creates a file right inside the folder, whatever was suggested: path
  // separators and control characters become "_", runs of dots one dot, no leading dots or
  // spaces (no hidden files, no ".."), valid UTF-8, at most kMaxNameBytes bytes with the
  // extension kept, and "download" when nothing is left.
  static std::string Sanitize(const std::string& suggested);

  // The `n`-th name to try for `name` (a Sanitize result): `name` itself for 0, else
  // "stem (n).ext", shortened so that it stays within kMaxNameBytes.
  static std::string Candidate(const std::string& name, int n);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_DOWNLOADS_DOWNLOAD_NAMES_H_
