// The web-extension module's entry point: WebKit calls it once in every new web process, on
// its main thread, before any page exists. It enters the application as a CEF renderer
// sub-process would enter main.
#include <signal.h>
#include <webkit2/webkit-web-extension.h>

#include <string>
#include <vector>

#include "common/engine_state.h"
#include "common/web_extension_init.h"
#include "include/cef_app.h"
#include "renderer/render_process.h"

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension* extension, const GVariant* user_data) {
  // A web process shares the shell's process group and session: a terminal's Ctrl+C, a hang-up
  // or a logout's SIGTERM reaches it too, and a page whose process died first could not run its
  // unload in the close that the shell starts for the same signal. The shell ends its web
  // processes itself (they exit when its connection closes).
  for (int number : {SIGINT, SIGHUP, SIGTERM}) signal(number, SIG_IGN);

  qvex_engine::WebExtensionInit init;
  init.executable_dir = ".";
  qvex_engine::WebExtensionInit::Decode(const_cast<GVariant*>(user_data), &init);
  // The command line a CEF renderer would get: the program, its role, the forwarded switches.
  std::vector<std::string> words = {init.executable_dir + "/qvexdesk", "--type=renderer"};
  words.insert(words.end(), init.switches.begin(), init.switches.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  qvex_engine::RenderProcess::SetWebExtension(extension);
  qvex_engine::SetRendererStartup(&qvex_engine::RenderProcess::Start);
  qvex_engine::SetGlobalCommandLine(argc, argv.data());
  qvex_engine::ApplyLogSeveritySwitch();
  CefRendererMain(argc, argv.data());
}
