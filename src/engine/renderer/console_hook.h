// ConsoleHook: hears a document's console calls, uncaught exceptions and unhandled promise
// rejections in the page's own script world and hands them to ConsoleLog. WebKit tells the web
// extension of console messages only when the session keeps data on disk (*measured*: none at
// all with the in-memory session the shell runs by default), so the port listens in the page.
// Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_CONSOLE_HOOK_H_
#define QVEX_ENGINE_RENDERER_CONSOLE_HOOK_H_

#include <JavaScriptCore/JavaScript.h>

namespace qvex_engine {

class ConsoleHook {
 public:
  // Before the document's own scripts: console.log, info, debug, warn and error become native
  // functions of the same names that log and then call the originals (so the developer tools
  // show every message as before), and the window gets listeners for "error" and
  // "unhandledrejection". A page that replaces console methods replaces ours. Installing twice
  // into one global object (a pop-up's first document) changes nothing.
  static void InstallInto(JSGlobalContextRef ctx);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_CONSOLE_HOOK_H_
