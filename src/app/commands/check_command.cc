// CheckCommand: the project's and the machine's findings, in text or JSON.
#include "app/commands/check_command.h"

#include "app/commands/check_report.h"
#include "app/commands/machine_check.h"
#include "app/commands/project_check.h"
#include "app/commands/rendering_env.h"
#include "include/cef_command_line.h"

int CheckCommand::Answer(int argc, const char* const* argv, std::ostream& out) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(argc, argv);
  if (!command_line->HasSwitch("check")) return -1;

  const RenderingEnv::Environment env = RenderingEnv::ProcessEnvironment();
  auto project = env.find("QVEX_PROJPATH");
  CheckReport report;
  ProjectCheck::Run(project == env.end() ? std::string() : project->second,
                    command_line->GetSwitchValue("url").ToString(), &report);
  MachineCheck::Run(env, "/", command_line->HasSwitch("safe-rendering"), &report);

  out << (command_line->HasSwitch("json") ? report.ToJson() : report.ToText());
  out.flush();
  if (!out) return 1;
  return report.Count(CheckReport::kError) > 0 ? 1 : 0;
}
