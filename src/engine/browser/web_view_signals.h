// The WebKitWebView signals of a browser, turned into the client's handler calls. All handlers
// run on the UI thread.
#ifndef QVEX_ENGINE_BROWSER_WEB_VIEW_SIGNALS_H_
#define QVEX_ENGINE_BROWSER_WEB_VIEW_SIGNALS_H_

namespace qvex_engine {

class BrowserImpl;

// Connects every signal with the browser as data; DetachWebViewSignals disconnects them all.
void AttachWebViewSignals(BrowserImpl* browser);
void DetachWebViewSignals(BrowserImpl* browser);

// Tells the display handler the page's title as it stands (for a page without one, its URL).
void ReportTitle(BrowserImpl* browser);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_WEB_VIEW_SIGNALS_H_
