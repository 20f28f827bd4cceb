// The UI process's start-up failure line. Main thread.
#include "browser/start_failure.h"

#include <gdk/gdk.h>
#include <glib.h>

namespace qvex_engine {

std::string CannotOpenDisplayLine(const char* program, const char* display_name) {
  std::string line = std::string(program && *program ? program : "qvexdesk") + ": ";
  if (!display_name || !*display_name) return line + "cannot open display: DISPLAY is not set";
  return line + "cannot open display \"" + display_name + "\"";
}

void SayCannotOpenDisplay() {
  const char* name = gdk_get_display_arg_name();
  if (!name) name = g_getenv("DISPLAY");
  g_printerr("%s\n", CannotOpenDisplayLine(g_get_prgname(), name).c_str());
}

}  // namespace qvex_engine
