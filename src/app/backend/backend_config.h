// BackendConfig: the project's own server, from app.qvex's "backend": the command that starts
// it, where it runs, the URL that tells it is up and how long to wait. The shell, `--check`
// and the packager ask it. Any thread after construction (a value).
#ifndef QVEXDESK_APP_BACKEND_BACKEND_CONFIG_H_
#define QVEXDESK_APP_BACKEND_BACKEND_CONFIG_H_

#include <string>

class ProjectFile;

class BackendConfig {
 public:
  static constexpr char kKey[] = "backend";
  // Replaced by the chosen port in "command", "fronturl" and "ready".
  static constexpr char kPortMark[] = "{port}";
  static constexpr double kDefaultTimeoutSeconds = 30;

  // Reads "backend"; reports its faults to `file`. A malformed value leaves no backend: the
  // project runs as one without.
  static BackendConfig From(const ProjectFile& file);

  // True when the project has a usable backend.
  bool present() const { return present_; }
  // True when the key is there at all (usable or not).
  bool given() const { return given_; }
  const std::string& command() const { return command_; }
  // The directory to run in: the project directory, or "cwd" inside it (absolute).
  const std::string& directory() const { return directory_; }
  // "cwd" as written; empty when not given.
  const std::string& cwd() const { return cwd_; }
  // "ready" as written; empty: the start URL.
  const std::string& ready() const { return ready_; }
  double timeout_seconds() const { return timeout_seconds_; }
  // Whether "command", "ready" (or `front_url`) asks for a chosen port.
  bool wants_port(const std::string& front_url) const;

  // `text` with every {port} replaced by `port`.
  static std::string WithPort(const std::string& text, int port);

 private:
  bool present_ = false;
  bool given_ = false;
  std::string command_;
  std::string directory_;
  std::string cwd_;
  std::string ready_;
  double timeout_seconds_ = kDefaultTimeoutSeconds;
};

#endif  // QVEXDESK_APP_BACKEND_BACKEND_CONFIG_H_
