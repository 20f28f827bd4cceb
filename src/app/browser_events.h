// BrowserEvents: the application events object. It holds the settings the shell starts with,
// chooses the start URL and browser settings, reads the project configuration, and receives
// every event of interest through twelve virtual hooks. Browser-side hooks run on the UI
// thread, renderer-side hooks on the renderer thread.
#ifndef QVEXDESK_APP_BROWSER_EVENTS_H_
#define QVEXDESK_APP_BROWSER_EVENTS_H_

#include <string>

#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_command_line.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"
#include "include/wrapper/cef_message_router.h"
#include "util/json.h"
#include "util/zstring.h"

class QvexExt;

class BrowserEvents {
 public:
  // Handed to CefInitialize by createBrowser.
  CefSettings settings;

  // The framework's home page, opened when nothing else names a start URL.
  static constexpr char kHomePageUrl[] = "https://www.quenvale.dev/";

  // The start URL: written by onBrowserInit, read when the first browser is created.
  static std::string url;
  // The parsed project file ("app.qvex").
  static JSON j1;

  // Hooks, in their fixed slot order.
  virtual void onInit();
  virtual void onAfterBrowserInit(const CefRefPtr<CefBrowser>& browser);
  virtual void onBeforeBrowserClose(const CefRefPtr<CefBrowser>& browser);
  virtual void onBrowserInit(const CefRefPtr<CefCommandLine>& command_line,
                             CefBrowserSettings& browser_settings);
  virtual void onPageInit(const CefRefPtr<CefBrowser>& browser, bool canGoBack,
                          bool canGoForward);
  virtual void onPageWebKitInit();
  virtual void onPageJSInit(const CefRefPtr<CefBrowser>& browser,
                            const CefRefPtr<CefFrame>& frame,
                            const CefRefPtr<CefV8Context>& context);
  virtual void onLoadStart(const CefRefPtr<CefBrowser>& browser,
                           const CefRefPtr<CefFrame>& frame,
                           cef_transition_type_t transition_type);
  virtual void onLoadEnd(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
                         int httpStatusCode);
  virtual void onPageEnd(const CefRefPtr<CefBrowser>& browser, bool canGoBack,
                         bool canGoForward);
  virtual bool onJsCall(QvexExt* ext, const CefString& name, const CefRefPtr<CefV8Value>& object,
                        const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                        CefString& exception);
  virtual bool OnQuery(const CefRefPtr<CefBrowser>& browser, const CefRefPtr<CefFrame>& frame,
                       int64_t query_id, const CefString& request, bool persistent,
                       const CefRefPtr<CefMessageRouterBrowserSide::Callback>& callback);

  // Project configuration: computed on first request, per process; an empty value is
  // computed again on the next request, a known one stays.
  static std::string SetProjectPath(std::string path);
  static std::string GetProjectPath();
  static std::string SetProjectType(std::string type);
  static std::string GetProjectType();

  // Runs UTF-8 script text in the browser's main frame.
  void ExecuteJavaScript(const CefRefPtr<CefBrowser>& browser, const std::string& script);
};

// The application events object of this process. The shell uses the default one; a variant of
// the shell (a test build, say) may define `be` to refer to an object of a derived class.
extern BrowserEvents& be;

// Delivers `text` to `function` in `context`, later, as a posted task on the renderer thread.
void callJSFunB(CefRefPtr<CefV8Context> context, CefRefPtr<CefV8Value> function,
                std::string text);

// Puts the text on the X clipboard (the CLIPBOARD selection, owned by the UI process).
// Renderer thread, inside a native call (it uses the current script context).
void setTextOnClipboard(Zstring text);

#endif  // QVEXDESK_APP_BROWSER_EVENTS_H_
