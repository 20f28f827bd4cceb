// Sub-frame loads in the UI process: WebKit's resource signals and the web process's reports
// about sub-frames, turned into the client's load and request handler calls. WebKit reports
// loads of the main frame only and does not say which frame a navigation is for; the web
// process knows the sub-frames, and the two are tied together by URL (SubframeLoads). UI
// thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_SIGNALS_H_
#define QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_SIGNALS_H_

#include <cstdint>

#include "include/cef_process_message.h"

namespace qvex_engine {

class BrowserImpl;

// Connects the resource signals with the browser as data (DetachWebViewSignals disconnects
// them).
void AttachSubframeSignals(BrowserImpl* browser);

// A message of the web process about the sub-frame `frame_id`; false: not one of those.
bool OnSubframeMessage(BrowserImpl* browser, int64_t frame_id,
                       CefRefPtr<CefProcessMessage> message);

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_SIGNALS_H_
