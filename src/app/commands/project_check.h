// ProjectCheck: the project part of `qvexdesk --check`: the directory, app.qvex, the front
// end's URL, the start URL the shell would open, and a backend project's two scripts. Reads
// files and makes one HTTP request; needs no display. Main thread of the browser process.
#ifndef QVEXDESK_APP_PROJECT_CHECK_H_
#define QVEXDESK_APP_PROJECT_CHECK_H_

#include <string>

#include "app/commands/check_report.h"

class ProjectFile;

class ProjectCheck {
 public:
  // How long the front end's server has to answer.
  static constexpr int kFrontUrlTimeoutMs = 2000;

  // `project`: QVEX_PROJPATH as set (empty: unset); `url_switch`: the value of --url.
  static void Run(const std::string& project, const std::string& url_switch, CheckReport* report);

  // Says what the shell makes of app.qvex; null when there is nothing to read values from.
  static const ProjectFile* CheckProjectFile(const ProjectFile& file, CheckReport* report);
  // The faults the owners of the keys found, each with its line.
  static void ReportProblems(const ProjectFile& file, CheckReport* report);

  // The answered native name nearest to `name` (edit distance, letter case counting less).
  static std::string NearestAnsweredName(const std::string& name);

 private:
  static void CheckFrontUrl(const std::string& front, CheckReport* report);
  static void CheckScript(const std::string& path, CheckReport* report, bool extension);
};

#endif  // QVEXDESK_APP_PROJECT_CHECK_H_
