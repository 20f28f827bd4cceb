// RenderProcess: the application's render-process handler in WebKit's web process. Connects
// the web extension's signals and turns them into the handler's events. Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_RENDER_PROCESS_H_
#define QVEX_ENGINE_RENDERER_RENDER_PROCESS_H_

#include <webkit2/webkit-web-extension.h>

#include <map>

#include "include/cef_app.h"
#include "renderer/render_browser.h"

namespace qvex_engine {

class RenderProcess {
 public:
  // The module's entry point hands over the extension before it enters the application.
  static void SetWebExtension(WebKitWebExtension* extension);
  // What CefExecuteProcess runs in the web process: keeps the application, connects the
  // signals, calls OnWebKitInitialized and returns 0. Later calls do nothing.
  static int Start(CefRefPtr<CefApp> app);
  // The browser of the page with that identifier, or null.
  static CefRefPtr<RenderBrowser> BrowserById(int id);

 private:
  explicit RenderProcess(CefRefPtr<CefApp> app);

  static void OnPageCreated(WebKitWebExtension* extension, WebKitWebPage* page, gpointer data);
  static void OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page,
                                    WebKitFrame* frame, gpointer data);
  static gboolean OnUserMessageReceived(WebKitWebPage* page, WebKitUserMessage* message,
                                        gpointer data);
  static void OnDocumentLoaded(WebKitWebPage* page, gpointer data);
  static gboolean OnSendRequest(WebKitWebPage* page, WebKitURIRequest* request,
                                WebKitURIResponse* redirected_response, gpointer data);
  static void OnPageFinalized(gpointer data, GObject* page);
  // One of the port's own messages from the UI process, for `frame`.
  static void OnEngineMessage(WebKitUserMessage* message, CefRefPtr<CefProcessMessage> cef_message,
                              CefRefPtr<RenderFrame> frame);
  static void OnFrameFinalized(gpointer data, GObject* frame);

  // The browser of a page, made (and announced) on first use.
  CefRefPtr<RenderBrowser> BrowserFor(WebKitWebPage* page);
  // A new document in the frame: the old context goes, the new one gets the extensions and
  // is announced.
  void ReplaceContext(CefRefPtr<RenderBrowser> browser, CefRefPtr<RenderFrame> frame,
                      JSGlobalContextRef global);
  // OnContextReleased (while the context still works), then the context is dead.
  void ReleaseContext(CefRefPtr<RenderBrowser> browser, CefRefPtr<RenderFrame> frame);

  const CefRefPtr<CefApp> app_;
  const CefRefPtr<CefRenderProcessHandler> handler_;  // May be null.
  std::map<WebKitWebPage*, CefRefPtr<RenderBrowser>> browsers_;  // Until the page finalizes.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_RENDER_PROCESS_H_
