// Process life: role split, initialisation, the message loop and shutdown. All of these run on
// the main thread of the process that calls them.
#ifndef CEF_INCLUDE_CEF_APP_H_
#define CEF_INCLUDE_CEF_APP_H_

#include "include/cef_base.h"
#include "include/cef_browser_process_handler.h"
#include "include/cef_command_line.h"
#include "include/cef_render_process_handler.h"
#include "include/internal/cef_linux.h"

class CefApp : public virtual CefBaseRefCounted {
 public:
  virtual void OnBeforeCommandLineProcessing(const CefString& process_type,
                                             CefRefPtr<CefCommandLine> command_line) {}
  virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
  virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// Decides the process role from the "type" switch. Without it (the process the user started)
// returns -1. With it: in WebKit's web process, entered from the web-extension module, hooks
// the application's render-process handler into the process, calls OnWebKitInitialized, and
// returns 0 at once (WebKit drives the process from there); anywhere else there is nothing
// for a sub-process to do, so it returns 0.
int CefExecuteProcess(const CefMainArgs& args, CefRefPtr<CefApp> application,
                      void* windows_sandbox_info);

// Starts the UI process: GTK on X11 (keeping the X error handlers the application installed),
// WebKit's web context from `settings`, then OnContextInitialized from the message loop.
// Returns false when there is no display.
bool CefInitialize(const CefMainArgs& args, const CefSettings& settings,
                   CefRefPtr<CefApp> application, void* windows_sandbox_info);

void CefRunMessageLoop();   // Runs until CefQuitMessageLoop.
void CefQuitMessageLoop();  // UI thread; ends the innermost CefRunMessageLoop.
void CefShutdown();         // After the loop has ended; releases the application.

// Where the web-extension module enters the application in WebKit's web process, as a CEF
// sub-process enters main: the application defines it to run the same start-up as main. The
// port passes argv {"<shell dir>/qvexdesk", "--type=renderer"}; the result is ignored.
int CefRendererMain(int argc, char** argv);

#endif  // CEF_INCLUDE_CEF_APP_H_
