// CefExecuteProcess: the process-role split by the "type" switch.
#include "common/engine_state.h"
#include "include/cef_app.h"

namespace {
qvex_engine::RendererStartup g_renderer_startup = nullptr;
}  // namespace

namespace qvex_engine {
void SetRendererStartup(RendererStartup startup) { g_renderer_startup = startup; }
}  // namespace qvex_engine

int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> application,
                      void* windows_sandbox_info) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  command_line->InitFromArgv(args.argc, args.argv);
  if (!command_line->HasSwitch("type")) return -1;
  if (command_line->GetSwitchValue("type") == "renderer" && g_renderer_startup)
    return g_renderer_startup(application);
  // WebKit starts its own helper processes; a sub-process started by hand has nothing to do.
  return 0;
}
