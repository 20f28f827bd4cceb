// WindowState: the main window's size and maximized state as it was last left, kept in the
// app's data folder (AppFolders::window_state_file) so that the next start opens it the same.
// Saved at each settled change, not only at a normal exit, so a crash keeps the last one.
// UI thread.
#ifndef QVEXDESK_APP_WINDOW_STATE_H_
#define QVEXDESK_APP_WINDOW_STATE_H_

#include <string>

class WindowState {
 public:
  int width = 0;
  int height = 0;
  bool maximized = false;

  // The state in `path`; false (and nothing changed) when there is none or it is not sound.
  bool Load(const std::string& path);
  // Writes the state to `path` whole (a new file renamed over the old): a crash mid-write
  // leaves the previous state. False when it cannot.
  bool Save(const std::string& path) const;
};

#endif  // QVEXDESK_APP_WINDOW_STATE_H_
