// PackageCheck: whether the project can be built into its Debian package, said by `--check`
// and, as the reason to stop, by `--package`: the package's keys (their faults go to the
// project file's problems), what is missing, and whether the backend writes into the project.
// Main thread of the browser process (either command).
#ifndef QVEXDESK_APP_PACKAGE_PACKAGE_CHECK_H_
#define QVEXDESK_APP_PACKAGE_PACKAGE_CHECK_H_

#include "app/app_identity.h"
#include "app/commands/check_report.h"
#include "app/package/package_info.h"

class ProjectFile;

class PackageCheck {
 public:
  // `packaging`: for --package, where a missing key is an error; for --check it is a warning
  // once the project names an id or a version (it means to ship), an ok otherwise.
  static PackageInfo Run(const ProjectFile& file, const AppIdentity& identity, bool packaging,
                         CheckReport* report);
};

#endif  // QVEXDESK_APP_PACKAGE_PACKAGE_CHECK_H_
