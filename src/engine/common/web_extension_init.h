// WebExtensionInit: what the UI process gives each new web process when WebKit loads the
// extension module (its initialization user data). UI thread to encode, the web process's main
// thread to decode.
#ifndef QVEX_ENGINE_COMMON_WEB_EXTENSION_INIT_H_
#define QVEX_ENGINE_COMMON_WEB_EXTENSION_INIT_H_

#include <glib.h>

#include <string>
#include <vector>

namespace qvex_engine {

struct WebExtensionInit {
  // The shell's directory: /proc/self/exe in the web process is WebKit's program.
  std::string executable_dir;
  // Switches for the renderer's command line ("--log-severity=warning"), as CEF gives its
  // sub-processes the browser process's switches that concern them.
  std::vector<std::string> switches;

  // A floating "(sas)" variant.
  GVariant* Encode() const;
  // False (and `out` untouched) when `data` is not one.
  static bool Decode(GVariant* data, WebExtensionInit* out);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_WEB_EXTENSION_INIT_H_
