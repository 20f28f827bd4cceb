// The UI process's port-wide state: the application, the WebKit web context and where the
// executable lives. UI thread.
#ifndef QVEX_ENGINE_BROWSER_RUNTIME_H_
#define QVEX_ENGINE_BROWSER_RUNTIME_H_

#include <webkit2/webkit2.h>

#include <string>

#include "include/cef_app.h"

namespace qvex_engine {

WebKitWebContext* GetWebContext();
CefRefPtr<CefApp> GetApp();
// The executable's directory; the web-extension module lives in "webext" beside it.
std::string ExecutableDir();

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_RUNTIME_H_
