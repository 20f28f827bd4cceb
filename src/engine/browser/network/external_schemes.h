// ExternalSchemes: navigations to URL schemes the engine does not show (mailto:, tel:, an
// application's own "myapp:") never leave the page; the ones the user started go to the
// desktop's handler for the scheme. UI thread.
#ifndef QVEX_ENGINE_BROWSER_NETWORK_EXTERNAL_SCHEMES_H_
#define QVEX_ENGINE_BROWSER_NETWORK_EXTERNAL_SCHEMES_H_

#include <webkit2/webkit2.h>

#include <string>

namespace qvex_engine {

class BrowserImpl;

class ExternalSchemes {
 public:
  // Whether the engine shows URLs of `scheme` (lower case) itself.
  static bool IsShown(const std::string& scheme);
  // Takes the navigations of the browser's view (main frame, sub-frames and the pop-ups it
  // would open) that go to other schemes: the request handler's OnBeforeBrowse hears of each,
  // then the URL goes to the desktop when the user started the navigation and the handler let
  // it go, or is refused. Connect after the load signals.
  static void Attach(BrowserImpl* browser);
  // A pop-up the page opens (WebKit's "create"): true when it goes to another scheme and was
  // dealt with here, so no window is made for it.
  static bool TakePopup(BrowserImpl* browser, WebKitNavigationAction* action);
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_NETWORK_EXTERNAL_SCHEMES_H_
