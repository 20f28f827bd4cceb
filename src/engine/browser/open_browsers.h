// The browsers of the UI process that are open (created and not yet destroyed), for what
// concerns them all at once, such as closing every window on a termination signal. UI thread.
#ifndef QVEX_ENGINE_BROWSER_OPEN_BROWSERS_H_
#define QVEX_ENGINE_BROWSER_OPEN_BROWSERS_H_

#include <vector>

#include "include/internal/cef_ptr.h"

namespace qvex_engine {

class BrowserImpl;

// From the browser's creation (before the client hears of it) to its destruction.
void AddOpenBrowser(BrowserImpl* browser);
void RemoveOpenBrowser(BrowserImpl* browser);
// The open browsers in the order they were created, each held for the caller.
std::vector<CefRefPtr<BrowserImpl>> OpenBrowsers();
// The open browser with identifier `id`, held for the caller; null when it is gone.
CefRefPtr<BrowserImpl> OpenBrowser(int id);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_OPEN_BROWSERS_H_
