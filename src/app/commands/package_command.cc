// PackageCommand: the package's findings first, then the build.
#include "app/commands/package_command.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "app/app_identity.h"
#include "app/backend/backend_config.h"
#include "app/commands/check_report.h"
#include "app/commands/program_info.h"
#include "app/commands/project_check.h"
#include "app/package/package_builder.h"
#include "app/package/package_check.h"
#include "app/project_file.h"
#include "include/cef_command_line.h"

namespace {

std::string Absolute(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

// The report's warnings and errors, as --check writes them.
void WriteFindings(const CheckReport& report, std::ostream& err) {
  std::istringstream lines(report.ToText());
  std::string line;
  while (std::getline(lines, line)) {
    if (line.compare(0, 3, "ok ") != 0) err << line << '\n';
  }
}

}  // namespace

int PackageCommand::Answer(int argc, const char* const* argv, std::ostream& out,
                           std::ostream& err) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(argc, argv);
  if (!command_line->HasSwitch("package")) return -1;
  // The tools it runs may stop reading their input early; that is their error to report.
  signal(SIGPIPE, SIG_IGN);

  const char* project_env = getenv("QVEX_PROJPATH");
  const std::string project = project_env && *project_env ? Absolute(project_env) : std::string();
  if (project.empty()) {
    err << "qvexdesk: --package: "
        << (project_env && *project_env ? std::string("QVEX_PROJPATH ") + project_env +
                                              " cannot be read (" + strerror(errno) + ")"
                                        : std::string("QVEX_PROJPATH is not set"))
        << ": set it to the project directory (the one that holds app.qvex)\n";
    return 1;
  }
  const ProjectFile file = ProjectFile::Load(project);
  CheckReport report;
  PackageInfo info;
  if (ProjectCheck::CheckProjectFile(file, &report)) {
    info = PackageCheck::Run(file, AppIdentity::From(file), true, &report);
    // A malformed backend would ship a program whose page never opens: its faults stop it.
    BackendConfig::From(file);
    ProjectCheck::ReportProblems(file, &report);
  }
  WriteFindings(report, err);
  if (report.Count(CheckReport::kError) > 0 || !file.known()) {
    err << "qvexdesk: --package: no package made\n";
    return 1;
  }

  std::string out_dir = command_line->HasSwitch("out")
                            ? command_line->GetSwitchValue("out").ToString()
                            : std::string(".");
  if (out_dir.empty()) out_dir = ".";
  if (mkdir(out_dir.c_str(), 0755) != 0 && errno != EEXIST) {
    err << "qvexdesk: --package: cannot create " << out_dir << ": " << strerror(errno) << '\n';
    return 1;
  }
  const std::string out_abs = Absolute(out_dir);
  struct stat out_info;
  if (out_abs.empty() || stat(out_abs.c_str(), &out_info) != 0 || !S_ISDIR(out_info.st_mode)) {
    err << "qvexdesk: --package: " << out_dir << " is not a folder\n";
    return 1;
  }

  const PackageBuilder::Result built =
      PackageBuilder::Build(info, project, out_abs, ProgramInfo::Version());
  for (const std::string& note : built.notes) err << "qvexdesk: --package: note: " << note << '\n';
  if (!built.ok) {
    err << "qvexdesk: --package: " << built.error << '\n';
    return 1;
  }
  out << built.deb << '\n';
  out.flush();
  return out ? 0 : 1;
}
