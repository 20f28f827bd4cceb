// PackageInfo: what app.qvex says about the project as a Debian package: its summary,
// description, licence, homepage, desktop categories, dependencies, command and maintainer,
// and what it leaves out. The one owner of those keys: `--check` and `--package` ask it.
// Any thread after construction (a value).
#ifndef QVEXDESK_APP_PACKAGE_PACKAGE_INFO_H_
#define QVEXDESK_APP_PACKAGE_PACKAGE_INFO_H_

#include <string>
#include <vector>

#include "app/app_identity.h"

class ProjectFile;

class PackageInfo {
 public:
  static constexpr char kDefaultLicense[] = "LicenseRef-proprietary";
  static constexpr char kDefaultCategory[] = "Utility";

  // Reads the package's keys; reports their faults to `file`. A malformed value is an error:
  // --package stops on it.
  static PackageInfo From(const ProjectFile& file, const AppIdentity& identity);

  // True for a Debian version: [epoch:]upstream[-revision], the upstream part starting with a
  // digit. Otherwise `why` says what is wrong.
  static bool IsDebianVersion(const std::string& version, std::string* why);
  // A Debian package name made from the id: lowercase, '_' as '-'. Empty when that is not a
  // valid package name.
  static std::string PackageNameOf(const std::string& id);
  // dpkg's own parser's verdict on a dependency list (perl's Dpkg::Deps): empty when it
  // parses, else what it says.
  static std::string DependsError(const std::string& depends);

  // What --package needs and the project lacks: "id", "name", "version" (empty: nothing).
  std::vector<std::string> missing() const;

  const AppIdentity& identity() const { return identity_; }
  const std::string& package_name() const { return package_name_; }
  // The display name on one line (line breaks and other control characters as spaces).
  const std::string& name() const { return name_; }
  const std::string& summary() const { return summary_; }
  // Paragraphs of the long description (never empty: a sentence naming the app when none is
  // given).
  const std::vector<std::string>& description() const { return description_; }
  const std::string& license() const { return license_; }
  const std::string& homepage() const { return homepage_; }
  const std::vector<std::string>& categories() const { return categories_; }
  // "depends" as given (a Debian dependency list); empty when none.
  const std::string& depends() const { return depends_; }
  // The program's name on PATH: "command", else the id's last segment, lowercase.
  const std::string& command() const { return command_; }
  // "Name <address>": "maintainer", else the name at a made-up address of the id's domain.
  const std::string& maintainer() const { return maintainer_; }
  // "package": {"exclude": [...]}: globs of paths left out.
  const std::vector<std::string>& exclude() const { return exclude_; }

 private:
  AppIdentity identity_;
  bool has_version_ = false;
  std::string package_name_;
  std::string name_;
  std::string summary_;
  std::vector<std::string> description_;
  std::string license_ = kDefaultLicense;
  std::string homepage_;
  std::vector<std::string> categories_;
  std::string depends_;
  std::string command_;
  std::string maintainer_;
  std::vector<std::string> exclude_;
};

#endif  // QVEXDESK_APP_PACKAGE_PACKAGE_INFO_H_
