// AppIdentity: who the project is as a desktop program: its application id, display name,
// icon and version, from app.qvex. The window class, the program name, the data folders, the
// single-instance lock and the package all ask it. Any thread after construction (a value).
#ifndef QVEXDESK_APP_APP_IDENTITY_H_
#define QVEXDESK_APP_APP_IDENTITY_H_

#include <string>

class ProjectFile;

class AppIdentity {
 public:
  // Longest id that desktop entries and AppStream take.
  static constexpr size_t kMaxIdBytes = 255;

  // Reads "id", "name", "icon" and "version"; reports their faults to `file` (an invalid value
  // is ignored, as if the key were absent).
  static AppIdentity From(const ProjectFile& file);

  // True for a reverse-DNS id: at least two dot-separated segments of [A-Za-z0-9_-], none
  // empty or starting with a digit, at most kMaxIdBytes. Otherwise `why` says what is wrong.
  static bool IsValidId(const std::string& id, std::string* why);

  // The application id; empty when none was given or it is invalid.
  const std::string& id() const { return id_; }
  bool has_id() const { return !id_.empty(); }
  // The display name: "name" when given, else the project directory's last component.
  const std::string& name() const { return name_; }
  // True when "name" was given.
  bool has_name() const { return has_name_; }
  // The icon file's path (inside the project); empty when none was given or it is unusable.
  const std::string& icon_path() const { return icon_path_; }
  // "version" as given; empty when none.
  const std::string& version() const { return version_; }

 private:
  std::string id_;
  std::string name_;
  bool has_name_ = false;
  std::string icon_path_;
  std::string version_;
};

#endif  // QVEXDESK_APP_APP_IDENTITY_H_
