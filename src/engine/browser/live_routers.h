// LiveRouters: the browser-side message routers that exist, so that the port can tell them
// when a page's web process ended (the application only tells them of navigations and
// closes). UI thread.
#ifndef QVEX_ENGINE_BROWSER_LIVE_ROUTERS_H_
#define QVEX_ENGINE_BROWSER_LIVE_ROUTERS_H_

#include "include/cef_browser.h"
#include "include/wrapper/cef_message_router.h"

namespace qvex_engine {

class LiveRouters {
 public:
  // From a router's constructor and destructor.
  static void Add(CefMessageRouterBrowserSide* router);
  static void Remove(CefMessageRouterBrowserSide* router);
  // Every router cancels the browser's pending queries: their handlers hear OnQueryCanceled,
  // and no answer reaches the page that the next web process shows.
  static void RenderProcessTerminated(CefRefPtr<CefBrowser> browser);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LIVE_ROUTERS_H_
