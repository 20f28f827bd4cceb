// corvane::createBrowser, the X error handlers and the process's events object `be`.
#include "app/qvexdesk_linux.h"

#include <iostream>

#include "app/check_command.h"
#include "app/program_info.h"
#include "app/rendering_env.h"
#include "app/simple_app.h"
#include "arch/linux/res/browser_linux.h"
#include "include/base/cef_logging.h"
#include "include/cef_app.h"
#include "include/cef_command_line.h"

namespace {
BrowserEvents default_events;
}  // namespace

// Weak, so that a variant of the shell can define `be` as its own events object.
__attribute__((weak)) BrowserEvents& be = default_events;

namespace corvane {

int createBrowser(BrowserEvents& events, int argc, char** argv) {
  CefMainArgs main_args(argc, argv);
  CefRefPtr<SimpleApp> app(new SimpleApp);

  // A sub-process ends here with the port's own status.
  int exit_code = CefExecuteProcess(main_args, app.get(), nullptr);
  if (exit_code >= 0) return exit_code;

  // Asked only for the version or the usage: answer before anything opens a display.
  int info_status = ProgramInfo::Answer(argc, argv, std::cout);
  if (info_status > 0) std::cerr << "qvexdesk: cannot write to standard output\n";
  if (info_status >= 0) return info_status;
  // Asked to check the project and the desktop: answer instead of running the shell.
  int check_status = CheckCommand::Answer(argc, argv, std::cout);
  if (check_status >= 0) return check_status;

  XSetErrorHandler(XErrorHandlerImpl);
  XSetIOErrorHandler(XIOErrorHandlerImpl);

  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(argc, argv);
  // Before the engine starts: its web processes inherit the environment.
  const RenderingEnv::Decision rendering = RenderingEnv::Decide(
      "/", RenderingEnv::ProcessEnvironment(), command_line->HasSwitch("safe-rendering"));
  RenderingEnv::Apply(rendering);
  if (!rendering.set.empty()) LOG(INFO) << rendering.Note();

  // Before onInit, which may name the program otherwise.
  events.settings.product_version = ProgramInfo::ProductVersion();
  events.onInit();
  if (command_line->HasSwitch("enable-chrome-runtime")) events.settings.chrome_runtime = 1;
  // After onInit, so no hook can turn the sandbox on.
  events.settings.no_sandbox = 1;

  // Without its UI nothing would ever be shown: a launcher or a script must be able to tell
  // (the engine has said why on standard error).
  if (!CefInitialize(main_args, events.settings, app.get(), nullptr)) return 1;
  CefRunMessageLoop();
  CefShutdown();

  command_line = nullptr;
  app = nullptr;
  return 0;
}

}  // namespace corvane
