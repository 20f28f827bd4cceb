// Maps WebKit's load failures (GLib errors, certificate problems) to CEF's network error codes
// and names.
#ifndef QVEX_ENGINE_BROWSER_LOADS_LOAD_ERROR_H_
#define QVEX_ENGINE_BROWSER_LOADS_LOAD_ERROR_H_

#include <gio/gio.h>

#include <string>

#include "include/internal/cef_types.h"

namespace qvex_engine {

struct LoadError {
  cef_errorcode_t code;
  std::string text;  // CEF's name of the code ("ERR_CONNECTION_REFUSED"), else WebKit's message.
};

// Errors without a counterpart give ERR_FAILED with the error's own message.
LoadError MapLoadError(const GError* error);
// A navigation to `url` that the engine refused before any request (it shows an empty page
// instead, without a failure): a port browsers keep closed, an address nothing can be reached
// at, else ERR_FAILED.
LoadError MapRefusedLoad(const std::string& url);
// A certificate that failed verification: the code of its most serious problem.
LoadError MapTlsErrors(GTlsCertificateFlags errors);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_LOAD_ERROR_H_
