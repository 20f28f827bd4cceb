// LiveRouters: a list of the routers that exist. UI thread.
#include "browser/live_routers.h"

#include <algorithm>
#include <vector>

#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

std::vector<CefMessageRouterBrowserSide*>& Routers() {
  static std::vector<CefMessageRouterBrowserSide*> routers;
  return routers;
}

}  // namespace

void LiveRouters::Add(CefMessageRouterBrowserSide* router) { Routers().push_back(router); }

void LiveRouters::Remove(CefMessageRouterBrowserSide* router) {
  auto& routers = Routers();
  routers.erase(std::remove(routers.begin(), routers.end(), router), routers.end());
}

void LiveRouters::RenderProcessTerminated(CefRefPtr<CefBrowser> browser) {
  CEF_REQUIRE_UI_THREAD();
  // A handler that hears of a cancel may release a router: hold each while it runs.
  std::vector<CefRefPtr<CefMessageRouterBrowserSide>> routers(Routers().begin(),
                                                               Routers().end());
  for (auto& router : routers) router->OnRenderProcessTerminated(browser);
}

}  // namespace qvex_engine
