// AppFolders: where an app with an id keeps what outlives a run: its data folder
// ($XDG_DATA_HOME/<id>), its cache folder ($XDG_CACHE_HOME/<id>) and, inside them, the pages'
// storage, the HTTP cache, the backend's own folder and the remembered window and port. The
// one place these paths are made; the shell, the backend and --check ask it. Any thread (a
// value; Create touches the file system).
#ifndef QVEXDESK_APP_APP_FOLDERS_H_
#define QVEXDESK_APP_APP_FOLDERS_H_

#include <functional>
#include <string>

class AppFolders {
 public:
  // Reads an environment variable; empty when unset.
  using Environment = std::function<std::string(const char* name)>;
  static Environment ProcessEnvironment();

  // The folders of application `id` (a valid id; see AppIdentity). With an empty id every
  // path is empty: an app without an id keeps nothing.
  static AppFolders ForId(const std::string& id, const Environment& env = ProcessEnvironment());

  bool empty() const { return data_dir_.empty(); }
  // $XDG_DATA_HOME/<id> (an absolute XDG_DATA_HOME only, as the XDG rules say), else
  // $HOME/.local/share/<id>.
  const std::string& data_dir() const { return data_dir_; }
  // $XDG_CACHE_HOME/<id>, else $HOME/.cache/<id>.
  const std::string& cache_dir() const { return cache_dir_; }
  // The pages' cookies, local and session storage, IndexedDB and the like.
  std::string web_data_dir() const { return Join(data_dir_, "web"); }
  // The pages' HTTP cache.
  std::string http_cache_dir() const { return Join(cache_dir_, "http"); }
  // The backend's own folder (QVEX_DATADIR of its process).
  std::string backend_data_dir() const { return Join(data_dir_, "backend"); }
  // The port the backend was last given, remembered per id.
  std::string backend_port_file() const { return Join(data_dir_, "backend-port"); }
  // The main window's size and maximized state at its last close.
  std::string window_state_file() const { return Join(data_dir_, "window-state.json"); }

  // Creates `dir` and its missing parents; the folders made, and `dir` itself, get mode 0700
  // (an app's data is its user's alone). False with `why` when it cannot.
  static bool Create(const std::string& dir, std::string* why);

 private:
  static std::string Join(const std::string& dir, const char* name) {
    return dir.empty() ? std::string() : dir + "/" + name;
  }

  std::string data_dir_;
  std::string cache_dir_;
};

#endif  // QVEXDESK_APP_APP_FOLDERS_H_
