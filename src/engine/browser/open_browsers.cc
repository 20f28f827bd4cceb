// The open browsers of the UI process. UI thread.
#include "browser/open_browsers.h"

#include <algorithm>

#include "browser/browser_impl.h"
#include "include/wrapper/cef_helpers.h"

namespace qvex_engine {

namespace {

// Not held: a browser takes itself out when it is destroyed, before it can go.
std::vector<BrowserImpl*>& List() {
  static std::vector<BrowserImpl*> list;
  return list;
}

}  // namespace

void AddOpenBrowser(BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  List().push_back(browser);
}

void RemoveOpenBrowser(BrowserImpl* browser) {
  CEF_REQUIRE_UI_THREAD();
  std::vector<BrowserImpl*>& list = List();
  list.erase(std::remove(list.begin(), list.end(), browser), list.end());
}

std::vector<CefRefPtr<BrowserImpl>> OpenBrowsers() {
  CEF_REQUIRE_UI_THREAD();
  return std::vector<CefRefPtr<BrowserImpl>>(List().begin(), List().end());
}

CefRefPtr<BrowserImpl> OpenBrowser(int id) {
  CEF_REQUIRE_UI_THREAD();
  for (BrowserImpl* browser : List()) {
    if (browser->GetIdentifier() == id) return browser;
  }
  return nullptr;
}

}  // namespace qvex_engine
