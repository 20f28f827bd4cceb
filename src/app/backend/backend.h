// Backend: the project's own server as part of the program: started with the window, waited
// for behind the "Starting…" panel, restarted when it ends while pages are shown, and stopped
// after the pages' close sequences. The UI thread calls it and runs its decisions; the
// registry's hooks run on the child's threads and hand over to the UI thread.
#ifndef QVEXDESK_APP_BACKEND_BACKEND_H_
#define QVEXDESK_APP_BACKEND_BACKEND_H_

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "app/app_folders.h"
#include "app/backend/backend_config.h"
#include "app/backend/backend_output.h"
#include "include/cef_browser.h"
#include "include/qvex_diagnostics.h"
#include "process/zprocess.h"

class ProjectFile;

class Backend : public EventHandler {
 public:
  // The registry's name of the backend.
  static constexpr char kName[] = "backend";
  // How often the ready URL is asked while the backend starts.
  static constexpr int kPollMs = 20;
  // From SIGTERM to SIGKILL when the backend is stopped.
  static constexpr int kStopGraceMs = 5000;
  // Endings within kEndingsWindowMs after which the backend is not started again on its own.
  static constexpr int kMaxEndings = 3;
  static constexpr int64_t kEndingsWindowMs = 60 * 1000;
  // The pause before the second restart; each further one doubles it.
  static constexpr int64_t kRestartPauseMs = 1000;

  // Where the port is remembered and what the backend's environment gets beyond the shell's.
  struct Setup {
    std::string port_memory;               // The file that remembers the port.
    std::vector<std::string> environment;  // "NAME=value", added after QVEX_PROJPATH and QVEX_PORT.
    // The defaults: the port remembered per project directory under
    // $XDG_STATE_HOME/qvexdesk/backend-ports/.
    static Setup ForProject(const std::string& project_dir);
    // An app with an id: the port remembered per id in its data folder, and the backend's own
    // folder there as QVEX_DATADIR (made on the way, mode 0700). Without an id, ForProject.
    static Setup ForApp(const std::string& project_dir, const AppFolders& folders);
  };

  // Once, on the UI thread, before the window opens: the project's backend, started, or null
  // when it has none (or a malformed one, which the project file's log line names). Puts the
  // chosen port into `start_url`.
  static Backend* Start(const ProjectFile& file, const std::string& project_name,
                        const Setup& setup, std::string* start_url);
  // This run's backend, or null.
  static Backend* Current();
  // After the message loop, before the engine shuts down: stops the backend (SIGTERM to its
  // group, up to 5 s, then SIGKILL) and gives the program's exit status (1 when the user quit
  // after a failed start, else `status`).
  static int Finish(int status);

  // UI thread: the browser that waits for the backend: the panel now, the start URL once the
  // backend answers.
  void Attach(CefRefPtr<CefBrowser> browser);

  // UI thread: the browser is closing: its panel and bar go, and nothing more is loaded in it.
  void Detach(CefRefPtr<CefBrowser> browser);

  const std::string& start_url() const { return start_url_; }
  const std::string& ready_url() const { return ready_url_; }
  int port() const { return port_; }

  // "ended with status 3", "was ended by signal 9 (KILL)": a raw wait status told.
  static std::string DescribeEnd(int wait_status);

 private:
  enum class State { kStarting, kFailed, kRunning, kRestarting, kGivenUp, kStopped };

  Backend(const BackendConfig& config, const std::string& project_dir, const std::string& name);
  void Launch();
  // UI thread: asks the ready URL, again every kPollMs until it answers or the time is up.
  void Probe(int run);
  void OnProbed(int run, int64_t asked_ms, const qvex_diagnostics::UrlDiagnosis& d);
  void OnAnswered(int run, int64_t elapsed_ms);
  void OnEnded(int run, std::string what);
  void OnTimedOut(int run);
  void OnNameFree();
  void RestartTask(int run);
  void ShowFailure(const std::string& what);
  void TryAgain();
  void Quit();
  void GiveUp();
  // Any thread: SIGTERM to the group, `grace_ms` for it to end, then SIGKILL; says how it went.
  std::string StopProcess(int grace_ms);

  // Registry hooks (the child's reader and exit-watcher threads).
  void gotStdout(const char* bytes, size_t n);
  void gotStderr(const char* bytes, size_t n);
  void gotExit(int status);
  void gotEnd(int status);

  const BackendConfig config_;
  const std::string project_dir_;
  const std::string name_;
  std::vector<std::string> environment_;
  std::string start_url_;
  std::string ready_url_;
  int port_ = 0;
  std::string command_;
  ZProcess process_;
  BackendOutput output_;
  CefRefPtr<CefBrowser> browser_;

  // UI thread.
  State state_ = State::kStarting;
  bool launch_when_free_ = false;
  int64_t launched_at_ms_ = 0;
  int64_t deadline_ms_ = 0;
  std::deque<int64_t> endings_;
  std::string failure_;  // What the panel said, for the line at a quit.
  bool quit_after_failure_ = false;

  // Shared with the registry's threads.
  std::mutex mutex_;
  std::condition_variable changed_;
  int run_ = 0;           // Moves on at each launch and at a stop: older news is dropped.
  int child_run_ = 0;     // The run of the child last started.
  bool running_ = false;  // The child last started has not yet been reported ended.
  int end_status_ = 0;
};

#endif  // QVEXDESK_APP_BACKEND_BACKEND_H_
