// ExtensionRegistry: the script extensions of this web process (CefRegisterExtension) and the
// natives they declare; installs them into each new context. Renderer thread only.
#ifndef QVEX_ENGINE_RENDERER_EXTENSION_REGISTRY_H_
#define QVEX_ENGINE_RENDERER_EXTENSION_REGISTRY_H_

#include <string>
#include <vector>

#include "include/cef_v8.h"
#include "renderer/v8_context_impl.h"

namespace qvex_engine {

class ExtensionRegistry {
 public:
  // The process's registry; it lives until the process ends.
  static ExtensionRegistry* Get();

  // False when the name is taken or empty, or when the script declares natives but there is
  // no handler to answer them.
  bool Register(const CefString& name, const CefString& code, CefRefPtr<CefV8Handler> handler);

  // Defines the hidden forwarding function on the context's global object (once per global
  // object) and runs every extension's script there, in registration order. Script errors go
  // to the context's console and the log.
  void InstallInto(V8ContextImpl* context);

  // The global property the rewritten declarations call as (index, this, arguments). It holds
  // one native function per declaration made so far, and calls nothing else.
  static const char kForwardingName[];

 private:
  struct Extension {
    CefString name;
    CefString code;  // Rewritten.
  };
  struct Native {
    CefString name;
    CefRefPtr<CefV8Handler> handler;
  };

  std::vector<Extension> extensions_;
  std::vector<Native> natives_;  // By index.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_EXTENSION_REGISTRY_H_
