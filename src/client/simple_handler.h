// SimpleHandler: the one client of the browser process. It keeps the list of open browsers and
// runs the close sequence, puts titles and icons on windows, passes load events to `be`,
// shows the error page, adds the developer-tools menu entry and owns the browser side of the
// message router. Every callback runs on the UI thread; CloseAllBrowsers and NotifyFavicon
// may be called on any thread and move themselves there.
#ifndef QVEXDESK_CLIENT_SIMPLE_HANDLER_H_
#define QVEXDESK_CLIENT_SIMPLE_HANDLER_H_

#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "include/cef_client.h"
#include "include/wrapper/cef_message_router.h"

class MessageHandler;

class SimpleHandler : public CefClient,
                      public CefContextMenuHandler,
                      public CefDisplayHandler,
                      public CefLifeSpanHandler,
                      public CefRequestHandler,
                      public CefResourceRequestHandler,
                      public CefLoadHandler {
 public:
  explicit SimpleHandler(bool use_views);
  ~SimpleHandler() override;

  // The single instance, or null when none exists.
  static SimpleHandler* GetInstance();

  // CefClient
  CefRefPtr<CefContextMenuHandler> GetContextMenuHandler() override { return this; }
  CefRefPtr<CefDisplayHandler> GetDisplayHandler() override { return this; }
  CefRefPtr<CefLifeSpanHandler> GetLifeSpanHandler() override { return this; }
  CefRefPtr<CefLoadHandler> GetLoadHandler() override { return this; }
  CefRefPtr<CefRequestHandler> GetRequestHandler() override { return this; }
  CefRefPtr<CefPermissionHandler> GetPermissionHandler() override { return permissions_; }
  // Who decides the pages' permission requests (none: all are denied).
  void set_permission_handler(CefRefPtr<CefPermissionHandler> handler) { permissions_ = handler; }
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // CefDisplayHandler
  void OnTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title) override;
  void OnFaviconURLChange(CefRefPtr<CefBrowser> browser,
                          const std::vector<CefString>& icon_urls) override;

  // CefLifeSpanHandler
  void OnAfterCreated(CefRefPtr<CefBrowser> browser) override;
  bool DoClose(CefRefPtr<CefBrowser> browser) override;
  void OnBeforeClose(CefRefPtr<CefBrowser> browser) override;

  // CefRequestHandler
  bool OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                      CefRefPtr<CefRequest> request, bool user_gesture,
                      bool is_redirect) override;
  void OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser,
                                 TerminationStatus status) override;

  // CefLoadHandler
  void OnLoadStart(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                   TransitionType transition_type) override;
  void OnLoadingStateChange(CefRefPtr<CefBrowser> browser, bool isLoading, bool canGoBack,
                            bool canGoForward) override;
  void OnLoadEnd(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                 int httpStatusCode) override;
  void OnLoadError(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                   ErrorCode errorCode, const CefString& errorText,
                   const CefString& failedUrl) override;

  // CefContextMenuHandler
  void OnBeforeContextMenu(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefContextMenuParams> params,
                           CefRefPtr<CefMenuModel> model) override;
  bool OnContextMenuCommand(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                            CefRefPtr<CefContextMenuParams> params, int command_id,
                            EventFlags event_flags) override;

  // Asks every open browser to close. Any thread.
  void CloseAllBrowsers(bool force_close);
  // Puts a downloaded favicon on the browser's window. Any thread.
  void NotifyFavicon(CefRefPtr<CefBrowser> browser, CefRefPtr<CefImage> image, bool app_icon);
  // Opens the developer tools of the browser in a window of their own.
  bool ShowDevTools2(CefRefPtr<CefBrowser> browser);

  // Native X11 windows: title and icon as window properties (simple_handler_linux).
  void PlatformTitleChange(CefRefPtr<CefBrowser> browser, const CefString& title);
  void onSetFavicon(CefRefPtr<CefBrowser> browser, CefRefPtr<CefImage> image);

  // Loads again, in every browser that shows an error page, the page that failed (the server
  // behind it is back). Other pages stay as they are.
  void ReloadErrorPages();

  // The number of open browsers (for tests and diagnostics).
  size_t browser_count() const { return browser_list_.size(); }

 private:
  // The close sequence's pause: from the page's unload having run to the browser's close.
  void StartClosePause(CefRefPtr<CefBrowser> browser);
  void EndClosePause(CefRefPtr<CefBrowser> browser);

  CefRefPtr<CefMessageRouterBrowserSide> router_;
  CefRefPtr<CefPermissionHandler> permissions_;
  std::unique_ptr<MessageHandler> message_handler_;
  const bool use_views_;
  std::list<CefRefPtr<CefBrowser>> browser_list_;
  // Browsers whose unload has been asked for and whose pause runs: their next DoClose lets
  // them go.
  std::set<int> paused_;
  // Per browser: the error page last shown in its main frame and the URL that failed.
  struct ErrorShown {
    std::string page_url;
    std::string failed_url;
  };
  std::map<int, ErrorShown> errors_shown_;

  IMPLEMENT_REFCOUNTING(SimpleHandler);
  DISALLOW_COPY_AND_ASSIGN(SimpleHandler);
};

#endif  // QVEXDESK_CLIENT_SIMPLE_HANDLER_H_
