// Load and navigation signals of a browser's web view, and the web process's reports of its
// sub-frames, turned into the client's load and request handler calls. UI thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_LOAD_SIGNALS_H_
#define QVEX_ENGINE_BROWSER_LOADS_LOAD_SIGNALS_H_

#include <cstdint>

#include "include/cef_load_handler.h"
#include "include/cef_process_message.h"
#include "include/cef_request_handler.h"

namespace qvex_engine {

class BrowserImpl;

// The client's load and request handlers, or null.
CefRefPtr<CefLoadHandler> LoadHandlerOf(BrowserImpl* browser);
CefRefPtr<CefRequestHandler> RequestHandlerOf(BrowserImpl* browser);

// Connects the load signals with the browser as data (DetachWebViewSignals disconnects them).
void AttachLoadSignals(BrowserImpl* browser);

// One of the port's own messages from the web process, about the frame `frame_id`.
void OnEngineMessage(BrowserImpl* browser, int64_t frame_id,
                     CefRefPtr<CefProcessMessage> message);

// The page's web process ended: its sub-frames went with it.
void OnWebProcessGone(BrowserImpl* browser);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_LOAD_SIGNALS_H_
