// StartScriptRunner: the main frame's runner of start-up scripts. WebKit runs the one-shot user
// script of a new document under a name of its own ("user-script:1"); the one-shot calls this
// runner instead, which evaluates the script text under the URL its caller asked for, so that
// its errors are reported against the page. Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_START_SCRIPT_RUNNER_H_
#define QVEX_ENGINE_RENDERER_START_SCRIPT_RUNNER_H_

#include "renderer/v8_context_impl.h"

namespace qvex_engine {

class StartScriptRunner {
 public:
  // Gives the context's global object the runner (read-only, hidden from enumeration):
  // (code, script URL) -> evaluates `code` from line 1 of the URL; an error it throws is
  // thrown on, and so reaches the page's console as the uncaught error it is.
  static void InstallInto(V8ContextImpl* context);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_START_SCRIPT_RUNNER_H_
