// corvane::createBrowser, the X error handlers and the process's events object `be`.
#include "app/qvexdesk_linux.h"

#include <stdlib.h>

#include <iostream>
#include <memory>

#include "app/app_profile.h"
#include "app/backend/backend.h"
#include "app/commands/check_command.h"
#include "app/commands/package_command.h"
#include "app/commands/program_info.h"
#include "app/commands/rendering_env.h"
#include "app/project_file.h"
#include "app/run_folder.h"
#include "app/simple_app.h"
#include "app/single_instance.h"
#include "arch/linux/res/browser_linux.h"
#include "include/base/cef_logging.h"
#include "include/cef_app.h"
#include "include/cef_command_line.h"
#include "include/cef_task.h"
#include "include/qvex_desktop.h"

namespace {

BrowserEvents default_events;

std::string Env(const char* name) {
  const char* value = getenv(name);
  return value ? value : "";
}

// Where the pages' storage goes: the app's own folders when it asks for persistent storage
// (and has an id); for an app with an id, else, a folder of this run in the runtime folder
// (`run_folder`, removed at the end); else nowhere (in memory). A driven run always keeps it
// in memory.
void ChooseStorage(const AppProfile& profile, bool driven, CefSettings* settings,
                   QvexDesktopIdentity* desktop, RunFolder* run_folder) {
  if (driven || !settings->cache_path.empty() || !profile.identity().has_id()) return;
  const AppFolders& folders = profile.folders();
  std::string why;
  if (!profile.storage().persistent()) {
    if (!run_folder->Create(SingleInstance::RuntimeDir(), profile.identity().id(), &why)) {
      LOG(WARNING) << why << ": the pages' notifications cannot be shown";
      return;
    }
    settings->cache_path = run_folder->path();
    desktop->http_cache_path = run_folder->path() + "/http";
    return;
  }
  if (folders.empty()) {
    LOG(WARNING) << "no home folder: the pages' storage stays in memory";
    return;
  }
  if (!AppFolders::Create(folders.web_data_dir(), &why) ||
      !AppFolders::Create(folders.http_cache_dir(), &why)) {
    LOG(WARNING) << why << ": the pages' storage stays in memory";
    return;
  }
  settings->cache_path = folders.web_data_dir();
  desktop->http_cache_path = folders.http_cache_dir();
}

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
  // Asked to build the project's package: no window either.
  int package_status = PackageCommand::Answer(argc, argv, std::cout, std::cerr);
  if (package_status >= 0) return package_status;

  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(argc, argv);
  const bool driven = command_line->HasSwitch("automation");

  // The project as a program of its own: a second start only brings the first forward.
  const AppProfile& profile = AppProfile::Current();
  const AppIdentity& identity = profile.identity();
  ProjectFile::Current().LogProblemsOnce();  // An id, a window or storage that is not used.
  std::unique_ptr<SingleInstance> instance;
  if (profile.single_instance() && !driven) {
    instance.reset(new SingleInstance);
    std::string note;
    const SingleInstance::Outcome outcome =
        instance->Claim(identity.id(), Env("DISPLAY"), Env("DESKTOP_STARTUP_ID"), &note);
    if (outcome == SingleInstance::Outcome::kForwarded) {
      std::cout << "qvexdesk: " << identity.name() << " (" << identity.id() << ") is " << note
                << std::endl;
      return 0;
    }
    if (!note.empty()) LOG(WARNING) << identity.id() << ": " << note;
  }

  XSetErrorHandler(XErrorHandlerImpl);
  XSetIOErrorHandler(XIOErrorHandlerImpl);

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

  QvexDesktopIdentity desktop;
  desktop.id = identity.id();
  if (identity.has_name()) desktop.name = identity.name();
  desktop.icon_path = identity.icon_path();
  RunFolder run_folder;
  ChooseStorage(profile, driven, &events.settings, &desktop, &run_folder);
  QvexSetDesktopIdentity(desktop);

  // Without its UI nothing would ever be shown: a launcher or a script must be able to tell
  // (the engine has said why on standard error).
  if (!CefInitialize(main_args, events.settings, app.get(), nullptr)) return 1;
  if (instance) {
    instance->Listen([](const std::string& startup_id) {
      CefPostTask(TID_UI, base::RepeatingClosure(
                              [startup_id] { SimpleApp::BringForward(startup_id); }));
    });
  }
  CefRunMessageLoop();
  // Every page's close sequence has run, so what an unload sent has reached the backend; the
  // engine still runs while the backend is stopped.
  const int status = Backend::Finish(0);
  CefShutdown();

  command_line = nullptr;
  app = nullptr;
  instance.reset();  // The lock goes last: a next start must not share the folders with us.
  return status;
}

}  // namespace corvane
