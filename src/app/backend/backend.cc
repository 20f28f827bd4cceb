// Backend: start, readiness, failures, restarts and stop of the project's backend.
#include "app/backend/backend.h"

#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <system_error>
#include <thread>

#include "app/backend/backend_port.h"
#include "app/project_file.h"
#include "client/simple_handler.h"
#include "include/base/cef_bind.h"
#include "include/base/cef_logging.h"
#include "include/cef_task.h"
#include "include/qvex_diagnostics.h"
#include "include/qvex_panels.h"
#include "include/wrapper/cef_helpers.h"

constexpr char Backend::kName[];
constexpr int Backend::kPollMs;
constexpr int Backend::kStopGraceMs;
constexpr int Backend::kMaxEndings;
constexpr int64_t Backend::kEndingsWindowMs;
constexpr int64_t Backend::kRestartPauseMs;

namespace {

Backend* g_current = nullptr;

// Longest single request while polling: a server that accepted and is still getting ready.
constexpr int kProbeTimeoutMs = 1000;
// After SIGKILL: the group cannot refuse, only its pipes' last reader may take a moment.
constexpr int kKillWaitMs = 2000;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Seconds(double seconds) {
  char text[32];
  snprintf(text, sizeof(text), "%g s", seconds);
  return text;
}

std::string Absolute(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string result = real;
  free(real);
  return result;
}

}  // namespace

Backend::Setup Backend::Setup::ForProject(const std::string& project_dir) {
  Setup setup;
  setup.port_memory =
      BackendPort::DefaultFolder() + "/" + BackendPort::FileNameFor(Absolute(project_dir));
  return setup;
}

Backend::Setup Backend::Setup::ForApp(const std::string& project_dir, const AppFolders& folders) {
  if (folders.empty()) return ForProject(project_dir);
  Setup setup;
  setup.port_memory = folders.backend_port_file();
  const std::string data_dir = folders.backend_data_dir();
  std::string why;
  if (!AppFolders::Create(data_dir, &why))
    LOG(ERROR) << "backend: cannot make its data folder " << data_dir << " (" << why << ")";
  setup.environment.push_back("QVEX_DATADIR=" + data_dir);
  return setup;
}

Backend::Backend(const BackendConfig& config, const std::string& project_dir, const std::string& name)
    : config_(config), project_dir_(project_dir), name_(name) {}

Backend* Backend::Current() { return g_current; }

Backend* Backend::Start(const ProjectFile& file, const std::string& project_name,
                        const Setup& setup, std::string* start_url) {
  CEF_REQUIRE_UI_THREAD();
  const BackendConfig config = BackendConfig::From(file);
  if (!config.present() || g_current) return g_current;
  Backend* backend = new Backend(config, file.project_dir(), project_name);  // For the run.
  if (config.wants_port(*start_url)) {
    std::string why;
    backend->port_ = BackendPort::Choose(setup.port_memory, &why);
    if (backend->port_ == 0) LOG(ERROR) << "backend: no free port on 127.0.0.1 (" << why << ")";
  }
  const int port = backend->port_;
  auto with_port = [port](const std::string& text) {
    return port ? BackendConfig::WithPort(text, port) : text;
  };
  backend->start_url_ = with_port(*start_url);
  backend->ready_url_ = config.ready().empty() ? backend->start_url_ : with_port(config.ready());
  backend->command_ = with_port(config.command());
  backend->environment_.push_back("QVEX_PROJPATH=" + Absolute(file.project_dir()));
  if (port) backend->environment_.push_back("QVEX_PORT=" + std::to_string(port));
  backend->environment_.insert(backend->environment_.end(), setup.environment.begin(),
                               setup.environment.end());
  ZProcess& process = backend->process_;
  process.onStdout.registerHandler(
      backend, Event::method<Backend, const char*, size_t>(&Backend::gotStdout));
  process.onStderr.registerHandler(
      backend, Event::method<Backend, const char*, size_t>(&Backend::gotStderr));
  process.onExit.registerHandler(backend, Event::method<Backend, int>(&Backend::gotExit));
  process.onEnd.registerHandler(backend, Event::method<Backend, int>(&Backend::gotEnd));
  g_current = backend;
  *start_url = backend->start_url_;
  backend->Launch();
  return backend;
}

void Backend::Attach(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  browser_ = browser;
  if (!browser_) return;
  if (state_ == State::kStarting) {
    qvex_panels::ShowStarting(browser_, name_);
  } else if (state_ == State::kRunning) {
    browser_->GetMainFrame()->LoadURL(start_url_);
  }
}

void Backend::Detach(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  if (!browser_ || !browser || !browser_->IsSame(browser)) return;
  qvex_panels::HidePanel(browser_);
  qvex_panels::HideBar(browser_);
  browser_ = nullptr;
}

void Backend::Launch() {
  CEF_REQUIRE_UI_THREAD();
  // The registry keeps an ended child's name a moment longer: start once it is free.
  if (process_.isExist(kName)) {
    launch_when_free_ = true;
    return;
  }
  launch_when_free_ = false;
  int run;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    run = ++run_;
    child_run_ = run;
    running_ = true;
  }
  output_.Clear();
  launched_at_ms_ = NowMs();
  LOG(INFO) << "backend: starting \"" << command_ << "\" in " << config_.directory()
            << (port_ ? " on port " + std::to_string(port_) : std::string()) << "; waiting for "
            << ready_url_;
  qvex::Process::Options options;
  options.environment = environment_;
  options.die_with_parent = true;
  process_.callProcess(kName, command_, config_.directory(), options);
  deadline_ms_ = launched_at_ms_ + static_cast<int64_t>(config_.timeout_seconds() * 1000);
  Probe(run);
}

void Backend::Probe(int run) {
  CEF_REQUIRE_UI_THREAD();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_ || !running_) return;
  }
  const int64_t asked = NowMs();
  const int timeout = static_cast<int>(
      std::max<int64_t>(kPollMs, std::min<int64_t>(kProbeTimeoutMs, deadline_ms_ - asked)));
  qvex_diagnostics::ProbeUrlAsync(
      ready_url_, timeout, [this, run, asked](const qvex_diagnostics::UrlDiagnosis& d) {
        OnProbed(run, asked, d);
      });
}

void Backend::OnProbed(int run, int64_t asked_ms, const qvex_diagnostics::UrlDiagnosis& d) {
  CEF_REQUIRE_UI_THREAD();
  using qvex_diagnostics::UrlDiagnosis;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_ || !running_) return;
  }
  // Any answer counts, whatever its status; a URL that cannot be asked is not waited for.
  if (d.outcome != UrlDiagnosis::kFailed) {
    if (d.outcome != UrlDiagnosis::kAnswered)
      LOG(WARNING) << "backend: the ready URL " << ready_url_ << " cannot be asked; not waiting";
    OnAnswered(run, NowMs() - launched_at_ms_);
    return;
  }
  const int64_t now = NowMs();
  if (now >= deadline_ms_) {
    OnTimedOut(run);
    return;
  }
  CefPostDelayedTask(TID_UI, base::Bind(&Backend::Probe, this, run),
                     std::max<int64_t>(0, asked_ms + kPollMs - now));
}

void Backend::OnAnswered(int run, int64_t elapsed_ms) {
  CEF_REQUIRE_UI_THREAD();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_) return;
  }
  if (state_ == State::kStarting) {
    state_ = State::kRunning;
    LOG(INFO) << "backend answered " << ready_url_ << " after " << elapsed_ms
              << " ms; loading " << start_url_;
    if (browser_) {
      qvex_panels::HidePanel(browser_);
      browser_->GetMainFrame()->LoadURL(start_url_);
    }
  } else if (state_ == State::kRestarting) {
    state_ = State::kRunning;
    LOG(INFO) << "backend answered " << ready_url_ << " again after " << elapsed_ms << " ms";
    if (SimpleHandler* handler = SimpleHandler::GetInstance()) handler->ReloadErrorPages();
  }
}

void Backend::OnEnded(int run, std::string what) {
  CEF_REQUIRE_UI_THREAD();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_) return;
  }
  if (state_ == State::kStarting) {
    ShowFailure(what);
    return;
  }
  if (state_ != State::kRunning && state_ != State::kRestarting) return;
  const int64_t now = NowMs();
  endings_.push_back(now);
  while (!endings_.empty() && now - endings_.front() > kEndingsWindowMs) endings_.pop_front();
  const int count = static_cast<int>(endings_.size());
  if (count >= kMaxEndings) {
    LOG(WARNING) << "backend " << what << " while the pages were shown; not restarting ("
                 << count << " endings within " << kEndingsWindowMs / 1000 << " s)";
    GiveUp();
    return;
  }
  const int64_t pause = count <= 1 ? 0 : kRestartPauseMs << (count - 2);
  LOG(WARNING) << "backend " << what << " while the pages were shown; restarting "
               << (pause ? "in " + std::to_string(pause) + " ms" : std::string("at once"));
  state_ = State::kRestarting;
  CefPostDelayedTask(TID_UI, base::Bind(&Backend::RestartTask, this, run), pause);
}

void Backend::RestartTask(int run) {
  CEF_REQUIRE_UI_THREAD();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_) return;
  }
  if (state_ == State::kRestarting) Launch();
}

void Backend::OnTimedOut(int run) {
  CEF_REQUIRE_UI_THREAD();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (run != run_) return;
    ++run_;  // The ending this stop brings is told here, not by the exit watcher.
  }
  const std::string what =
      "did not answer " + ready_url_ + " within " + Seconds(config_.timeout_seconds());
  LOG(WARNING) << "backend " << what << "; stopping it";
  const int reported_run = run_;
  // The stop may take the whole grace period: not on this thread.
  auto stop_then_report = [this, what, reported_run] {
    const std::string how = StopProcess(kStopGraceMs);
    if (!how.empty()) LOG(INFO) << "backend stopped: " << how;
    CefPostTask(TID_UI, base::Bind(&Backend::OnEnded, this, reported_run, what));
  };
  try {
    std::thread(stop_then_report).detach();
  } catch (const std::system_error&) {
    stop_then_report();
  }
}

void Backend::OnNameFree() {
  CEF_REQUIRE_UI_THREAD();
  if (launch_when_free_ && state_ != State::kStopped) Launch();
}

void Backend::ShowFailure(const std::string& what) {
  state_ = State::kFailed;
  failure_ = name_ + " could not start: its backend " + what;
  LOG(WARNING) << failure_ << " (failure panel shown)";
  if (!browser_) return;
  const std::string output = output_.LastLines();
  qvex_panels::ShowFailure(browser_, failure_,
                           output.empty() ? "It wrote nothing." : "The last lines it wrote:",
                           output, [this] { TryAgain(); }, [this] { Quit(); });
}

void Backend::TryAgain() {
  CEF_REQUIRE_UI_THREAD();
  if (state_ != State::kFailed) return;
  LOG(INFO) << "backend: trying again";
  state_ = State::kStarting;
  if (browser_) qvex_panels::ShowStarting(browser_, name_);
  Launch();
}

void Backend::Quit() {
  CEF_REQUIRE_UI_THREAD();
  quit_after_failure_ = true;
  if (SimpleHandler* handler = SimpleHandler::GetInstance()) handler->CloseAllBrowsers(true);
}

void Backend::GiveUp() {
  state_ = State::kGivenUp;
  const std::string text = name_ + ": its backend ended " + std::to_string(kMaxEndings) +
                           " times within a minute and is not started again.";
  LOG(WARNING) << "backend bar shown: " << text;
  if (!browser_) return;
  qvex_panels::ShowBar(browser_, text, "_Restart", [this] {
    if (state_ != State::kGivenUp) return;
    LOG(INFO) << "backend: restart asked";
    endings_.clear();
    qvex_panels::HideBar(browser_);
    state_ = State::kRestarting;
    Launch();
  });
}

int Backend::Finish(int status) {
  Backend* backend = g_current;
  if (!backend) return status;
  backend->state_ = State::kStopped;
  {
    std::lock_guard<std::mutex> lock(backend->mutex_);
    ++backend->run_;
  }
  const std::string how = backend->StopProcess(kStopGraceMs);
  if (!how.empty()) LOG(INFO) << "backend stopped: " << how;
  if (backend->browser_) {
    qvex_panels::HidePanel(backend->browser_);
    qvex_panels::HideBar(backend->browser_);
    backend->browser_ = nullptr;
  }
  if (!backend->quit_after_failure_) return status;
  fprintf(stderr, "qvexdesk: %s\n", backend->failure_.c_str());
  return 1;
}

std::string Backend::StopProcess(int grace_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!running_) return std::string();
  const int64_t started = NowMs();
  process_.signal(kName, SIGTERM);
  if (changed_.wait_for(lock, std::chrono::milliseconds(grace_ms), [this] { return !running_; })) {
    return "it " + DescribeEnd(end_status_) + ", " + std::to_string(NowMs() - started) +
           " ms after SIGTERM";
  }
  process_.signal(kName, SIGKILL);
  changed_.wait_for(lock, std::chrono::milliseconds(kKillWaitMs), [this] { return !running_; });
  return "it did not end within " + std::to_string(grace_ms / 1000) + " s of SIGTERM; " +
         (running_ ? std::string("SIGKILL sent, still not ended") : "SIGKILL: it " + DescribeEnd(end_status_));
}

std::string Backend::DescribeEnd(int wait_status) {
  if (WIFSIGNALED(wait_status)) {
    const int sig = WTERMSIG(wait_status);
    const char* abbrev = sigabbrev_np(sig);
    return "was ended by signal " + std::to_string(sig) +
           (abbrev ? " (SIG" + std::string(abbrev) + ")" : std::string());
  }
  return "ended with status " + std::to_string(WEXITSTATUS(wait_status));
}

void Backend::gotStdout(const char* bytes, size_t n) {
  output_.Feed(BackendOutput::kStdout, bytes, n);
}

void Backend::gotStderr(const char* bytes, size_t n) {
  output_.Feed(BackendOutput::kStderr, bytes, n);
}

void Backend::gotExit(int status) {
  output_.Flush();
  const std::string what =
      status == -1 ? std::string("could not be created") : DescribeEnd(process_.lastWaitStatus());
  int run;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
    end_status_ = process_.lastWaitStatus();
    run = child_run_;
  }
  changed_.notify_all();
  CefPostTask(TID_UI, base::Bind(&Backend::OnEnded, this, run, what));
}

void Backend::gotEnd(int) { CefPostTask(TID_UI, base::Bind(&Backend::OnNameFree, this)); }
