// The message router: page script sends queries with cefQuery({request, persistent, onSuccess,
// onFailure}) (which returns the query id) and cancels them with cefQueryCancel(id); handlers in
// the UI process answer them. The browser side runs on the UI thread, the renderer side on the
// renderer thread. Queries no handler takes fail with -1; pending queries are cancelled when
// their context goes, on a main-frame navigation and when the browser closes.
#ifndef CEF_INCLUDE_WRAPPER_CEF_MESSAGE_ROUTER_H_
#define CEF_INCLUDE_WRAPPER_CEF_MESSAGE_ROUTER_H_

#include "include/cef_base.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_process_message.h"
#include "include/cef_v8.h"

struct CefMessageRouterConfig {
  CefMessageRouterConfig() : js_query_function("cefQuery"), js_cancel_function("cefQueryCancel") {}
  CefString js_query_function;
  CefString js_cancel_function;
};

class CefMessageRouterBrowserSide : public virtual CefBaseRefCounted {
 public:
  // Answers one query. Any thread; calls after the query ended do nothing.
  class Callback : public virtual CefBaseRefCounted {
   public:
    // For a persistent query, may be called many times.
    virtual void Success(const CefString& response) = 0;
    // Ends the query.
    virtual void Failure(int error_code, const CefString& error_message) = 0;
  };

  class Handler {
   public:
    typedef CefMessageRouterBrowserSide::Callback Callback;
    virtual ~Handler() = default;
    // Return true to take the query (answer it through `callback`, now or later); false to
    // pass it to the next handler.
    virtual bool OnQuery(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         int64_t query_id, const CefString& request, bool persistent,
                         CefRefPtr<Callback> callback) {
      return false;
    }
    // A taken query was cancelled (by the page, a navigation, or the browser closing).
    virtual void OnQueryCanceled(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 int64_t query_id) {}
  };

  static CefRefPtr<CefMessageRouterBrowserSide> Create(const CefMessageRouterConfig& config);

  // `first`: ask this handler before the others. A handler is added once.
  virtual bool AddHandler(Handler* handler, bool first) = 0;
  // Cancels the handler's pending queries and removes it.
  virtual bool RemoveHandler(Handler* handler) = 0;
  // Cancels pending queries of `browser` (all browsers when null), of `handler` (all when null).
  virtual void CancelPending(CefRefPtr<CefBrowser> browser, Handler* handler) = 0;
  virtual int GetPendingCount(CefRefPtr<CefBrowser> browser, Handler* handler) = 0;

  virtual void OnBeforeClose(CefRefPtr<CefBrowser> browser) = 0;
  virtual void OnRenderProcessTerminated(CefRefPtr<CefBrowser> browser) = 0;
  virtual void OnBeforeBrowse(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame) = 0;
  // True when the message was the router's.
  virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefProcessId source_process,
                                        CefRefPtr<CefProcessMessage> message) = 0;
};

class CefMessageRouterRendererSide : public virtual CefBaseRefCounted {
 public:
  static CefRefPtr<CefMessageRouterRendererSide> Create(const CefMessageRouterConfig& config);

  virtual int GetPendingCount(CefRefPtr<CefBrowser> browser, CefRefPtr<CefV8Context> context) = 0;
  // Installs the query functions in the context.
  virtual void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefV8Context> context) = 0;
  // Cancels the context's pending queries.
  virtual void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> context) = 0;
  virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefProcessId source_process,
                                        CefRefPtr<CefProcessMessage> message) = 0;
};

#endif  // CEF_INCLUDE_WRAPPER_CEF_MESSAGE_ROUTER_H_
