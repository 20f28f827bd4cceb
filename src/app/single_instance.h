// SingleInstance: one running instance per app id, user and display. The first start holds a
// lock and listens on a Unix socket in a private runtime folder; a later start asks it to
// bring its window forward and ends. A first instance that died leaves a lock the next start
// takes over; one that does not answer within a second is treated as gone. Claim and the
// destructor run on the main thread; the listener runs on a thread of its own and hands each
// request to `on_asked` there.
#ifndef QVEXDESK_APP_SINGLE_INSTANCE_H_
#define QVEXDESK_APP_SINGLE_INSTANCE_H_

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

class AppIdentity;
class ProjectFile;

class SingleInstance {
 public:
  // How long a later start waits for the first instance's answer.
  static constexpr int kAnswerTimeoutMs = 1000;
  // How often an instance that runs without the lock tries to take it.
  static constexpr int kLockRetryMs = 100;

  // Reads "single_instance" (a boolean; default true when there is an id). True when this
  // app is to run once: an id and not false.
  static bool Wanted(const ProjectFile& file, const AppIdentity& identity);

  // The folder of the locks and sockets: $XDG_RUNTIME_DIR/qvexdesk, else /tmp/qvexdesk-<uid>,
  // created with mode 0700 (a folder of another owner or wider mode is not used). Empty when
  // neither can be had.
  static std::string RuntimeDir();

  enum class Outcome {
    kFirst,       // This start runs the app (listening for later starts).
    kForwarded,   // Another instance runs and was asked to come forward: end now.
    kUnavailable  // No runtime folder or socket: run without the guarantee.
  };

  SingleInstance() = default;
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // For application `id` on `display` (DISPLAY): takes the lock, or asks its holder to come
  // forward with `startup_id` (DESKTOP_STARTUP_ID; may be empty). `note` says what happened,
  // in one line, for the log.
  Outcome Claim(const std::string& id, const std::string& display, const std::string& startup_id,
                std::string* note);

  // After kFirst: listens for later starts; `on_asked` gets each one's startup id, on the
  // listener's thread.
  void Listen(std::function<void(const std::string& startup_id)> on_asked);

 private:
  // Asks the instance listening on socket_path_ to come forward; true when it answered.
  // Without `retry`, one attempt (no listener: no answer).
  bool AskRunning(const std::string& startup_id, bool retry) const;
  bool BindSocket(std::string* why);
  void Serve();

  std::string socket_path_;
  std::atomic<int> lock_fd_{-1};  // Written by the listener once it takes the lock over.
  int pending_lock_fd_ = -1;      // The lock's file while another holds it (listener only).
  int listen_fd_ = -1;
  ino_t socket_inode_ = 0;  // The socket this instance bound; 0: none.
  int stop_pipe_[2] = {-1, -1};
  std::function<void(const std::string&)> on_asked_;
  std::thread listener_;
};

#endif  // QVEXDESK_APP_SINGLE_INSTANCE_H_
