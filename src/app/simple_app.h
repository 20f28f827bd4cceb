// SimpleApp: the application object of every process. In the browser process it opens the
// window with the first browser (UI thread); in a renderer it owns the renderer side of the
// message router and forwards renderer events to `be` (renderer thread).
#ifndef QVEXDESK_APP_SIMPLE_APP_H_
#define QVEXDESK_APP_SIMPLE_APP_H_

#include <string>

#include "include/cef_app.h"
#include "include/wrapper/cef_message_router.h"

class SimpleApp : public CefApp, public CefRenderProcessHandler, public CefBrowserProcessHandler {
 public:
  SimpleApp();

  // CefApp
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

  // CefBrowserProcessHandler
  void OnContextInitialized() override;

  // Brings the main window forward for another start of the app (SingleInstance), with that
  // start's DESKTOP_STARTUP_ID (may be empty). UI thread.
  static void BringForward(const std::string& startup_id);

  // CefRenderProcessHandler
  void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  void OnWebKitInitialized() override;
  void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

 private:
  CefRefPtr<CefMessageRouterRendererSide> rendererRouter;

  IMPLEMENT_REFCOUNTING(SimpleApp);
  DISALLOW_COPY_AND_ASSIGN(SimpleApp);
};

#endif  // QVEXDESK_APP_SIMPLE_APP_H_
