// The web-extension module's entry point: WebKit calls it once in every new web process, on
// its main thread, before any page exists. It enters the application as a CEF renderer
// sub-process would enter main.
#include <webkit2/webkit-web-extension.h>

#include <string>

#include "common/engine_state.h"
#include "include/cef_app.h"
#include "renderer/render_process.h"

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension* extension, const GVariant* user_data) {
  // The UI process passes the shell's directory: /proc/self/exe here is WebKit's program.
  std::string dir = ".";
  GVariant* data = const_cast<GVariant*>(user_data);
  if (data && g_variant_is_of_type(data, G_VARIANT_TYPE_STRING))
    dir = g_variant_get_string(data, nullptr);
  std::string program = dir + "/qvexdesk";
  std::string type = "--type=renderer";
  char* argv[] = {&program[0], &type[0], nullptr};

  qvex_engine::RenderProcess::SetWebExtension(extension);
  qvex_engine::SetRendererStartup(&qvex_engine::RenderProcess::Start);
  qvex_engine::SetGlobalCommandLine(2, argv);
  CefRendererMain(2, argv);
}
