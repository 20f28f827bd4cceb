// RunFolder: where an app with an id but without persistent storage keeps its pages' storage
// for one run: a private folder in the user's runtime folder (a tmpfs, so in memory), removed
// when the run ends; one left by a run that was killed is removed at the next start. WebKit
// shows no notifications for pages whose storage is fully ephemeral, so such an app's pages
// get this instead. Main thread.
#ifndef QVEXDESK_APP_RUN_FOLDER_H_
#define QVEXDESK_APP_RUN_FOLDER_H_

#include <string>

class RunFolder {
 public:
  RunFolder() = default;
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Makes <runtime folder>/<id>.run-<pid> (mode 0700), after removing the folders of `id`'s
  // runs whose process is gone. False with `why` when it cannot.
  bool Create(const std::string& runtime_dir, const std::string& id, std::string* why);
  // Empty until created.
  const std::string& path() const { return path_; }

  // Removes `dir` and everything in it (without following links).
  static void RemoveTree(const std::string& dir);

 private:
  std::string path_;
};

#endif  // QVEXDESK_APP_RUN_FOLDER_H_
