// AppProfile: everything app.qvex says about the project as a desktop program, read once from
// the key owners: its identity, main window, storage, whether it runs once, and its folders.
// The shell asks Current(); --check and the packager build one From() the file they read.
// Any thread after construction (a value).
#ifndef QVEXDESK_APP_APP_PROFILE_H_
#define QVEXDESK_APP_APP_PROFILE_H_

#include "app/app_folders.h"
#include "app/app_identity.h"
#include "app/storage_options.h"
#include "app/window_options.h"

class ProjectFile;

class AppProfile {
 public:
  // Every owner reads its keys and reports their faults to `file`.
  static AppProfile From(const ProjectFile& file,
                         const AppFolders::Environment& env = AppFolders::ProcessEnvironment());
  // This process's profile, from ProjectFile::Current() at the first call.
  static const AppProfile& Current();

  const AppIdentity& identity() const { return identity_; }
  const WindowOptions& window() const { return window_; }
  const StorageOptions& storage() const { return storage_; }
  // True when a second start of the app brings this one forward instead (SingleInstance).
  bool single_instance() const { return single_instance_; }
  // The app's data and cache folders; empty without an id.
  const AppFolders& folders() const { return folders_; }

 private:
  AppIdentity identity_;
  WindowOptions window_;
  StorageOptions storage_;
  bool single_instance_ = false;
  AppFolders folders_;
};

#endif  // QVEXDESK_APP_APP_PROFILE_H_
