// A variant of the shell whose client handler works on native X11 windows (its Views flag
// clear): the browser gets a top-level window of the port's own, and the handler writes title
// and icon as X11 window properties. UI thread.
#include "app/browser_events.h"
#include "client/simple_handler.h"
#include "include/cef_app.h"
#include "include/cef_command_line.h"

// After the port's headers: Xlib's macros clash with their names.
#include "arch/linux/res/browser_linux.h"

namespace {

class NativeApp : public CefApp, public CefBrowserProcessHandler {
 public:
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }

  void OnContextInitialized() override {
    CefRefPtr<CefCommandLine> command_line = CefCommandLine::GetGlobalCommandLine();
    CefRefPtr<SimpleHandler> handler(new SimpleHandler(false));
    CefBrowserSettings browser_settings;
    be.onBrowserInit(command_line, browser_settings);
    CefWindowInfo window_info;
    CefBrowserHost::CreateBrowser(window_info, handler, BrowserEvents::url, browser_settings,
                                  nullptr, nullptr);
  }

 private:
  IMPLEMENT_REFCOUNTING(NativeApp);
};

}  // namespace

int main(int argc, char** argv) {
  CefMainArgs main_args(argc, argv);
  CefRefPtr<NativeApp> app(new NativeApp);
  int exit_code = CefExecuteProcess(main_args, app.get(), nullptr);
  if (exit_code >= 0) return exit_code;
  XSetErrorHandler(XErrorHandlerImpl);
  XSetIOErrorHandler(XIOErrorHandlerImpl);
  be.onInit();
  be.settings.no_sandbox = 1;
  CefInitialize(main_args, be.settings, app.get(), nullptr);
  CefRunMessageLoop();
  CefShutdown();
  return 0;
}
