// StorageOptions: the "storage" key of app.qvex: whether the pages' storage lives in memory
// for the run (the default) or persists in the app's data folder, which needs an id. Any
// thread after construction (a value).
#ifndef QVEXDESK_APP_STORAGE_OPTIONS_H_
#define QVEXDESK_APP_STORAGE_OPTIONS_H_

class AppIdentity;
class ProjectFile;

class StorageOptions {
 public:
  // Reads "storage"; "persistent" without a valid id is an error reported to `file` (storage
  // stays in memory), any other value a warning.
  static StorageOptions From(const ProjectFile& file, const AppIdentity& identity);

  // True when the pages' storage is kept under the app's folders (AppFolders).
  bool persistent() const { return persistent_; }

 private:
  bool persistent_ = false;
};

#endif  // QVEXDESK_APP_STORAGE_OPTIONS_H_
