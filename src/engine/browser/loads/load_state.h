// LoadState: what the UI process knows of a browser's current main-frame load and of its
// sub-frames' loads, between WebKit's signals and the web process's reports. Owned by the
// browser; UI thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_LOAD_STATE_H_
#define QVEX_ENGINE_BROWSER_LOADS_LOAD_STATE_H_

#include <string>

#include "browser/loads/loading_end.h"
#include "browser/loads/subframe_loads.h"
#include "common/recent_by_url.h"
#include "include/cef_request.h"

namespace qvex_engine {

struct LoadState {
  // A navigation WebKit asked about, not yet known to be the main frame's.
  struct Decided {
    CefRefPtr<CefRequest> request;
    bool user_gesture = false;
  };
  static constexpr size_t kMaxDecided = 16;

  bool started = false;    // The current navigation's load start has been reported.
  bool committed = false;  // The current navigation reached its new document.
  std::string requested;   // Where the current navigation was going, redirects included.
  bool refused = false;    // The engine refused it and showed an empty page instead.
  // The current document has had a title of its own: an empty title after that is the page's
  // choice, not an untitled page (shown by its URL).
  bool titled = false;
  RecentByUrl<Decided> decided{kMaxDecided};  // By the URL of the request.
  SubframeLoads subframes;
  LoadingEnd loading_end;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_LOAD_STATE_H_
