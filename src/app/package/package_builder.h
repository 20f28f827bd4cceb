// PackageBuilder: builds `<package>_<version>_<arch>.deb` of a project: the project under
// /usr/lib/<id>, its launcher, desktop entry, icons, AppStream metadata and documents, staged
// in a temporary folder and packed by dpkg-deb with root-owned entries. With SOURCE_DATE_EPOCH
// set, one project gives the same bytes at every build. Main thread of `qvexdesk --package`.
#ifndef QVEXDESK_APP_PACKAGE_PACKAGE_BUILDER_H_
#define QVEXDESK_APP_PACKAGE_PACKAGE_BUILDER_H_

#include <string>
#include <vector>

#include "app/package/package_info.h"

class PackageBuilder {
 public:
  // The icon theme's sizes, in pixels.
  static constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256, 512};

  struct Result {
    bool ok = false;
    std::string deb;                 // The package's path (when ok).
    std::string error;               // Why no package was made.
    std::vector<std::string> notes;  // What the user should know (an icon enlarged, ...).
  };

  // `info` holds no error (PackageCheck said so). `out_dir` exists. `shell_version`: this
  // qvexdesk's version, the least one the package depends on.
  static Result Build(const PackageInfo& info, const std::string& project_dir,
                      const std::string& out_dir, const std::string& shell_version);

  // True when the path (relative to the project, with '/') is left out by one of `globs`: a
  // glob without '/' matches any single name in the path, one with '/' the path from the
  // project's top (a leading '/' is the top itself).
  static bool Excluded(const std::string& relative, const std::vector<std::string>& globs);
};

#endif  // QVEXDESK_APP_PACKAGE_PACKAGE_BUILDER_H_
