// FrameReports: what the UI process hears of one page's sub-frames: each new document, its
// load, the navigations it asks for, and its removal. WebKit's web-extension API says none of
// this directly: documents come from window-object-cleared, loads from a listener on the
// frame's window, and the frame that a navigation request is for from the beforeunload event
// its old document gets right before WebKit sends the request (in the same main-loop
// dispatch), or, for the first load of a frame that had no document yet, from the frame
// element whose source the request is. Renderer thread.
#ifndef QVEX_ENGINE_RENDERER_FRAME_REPORTS_H_
#define QVEX_ENGINE_RENDERER_FRAME_REPORTS_H_

#include <webkit2/webkit-web-extension.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/recent_by_url.h"
#include "renderer/render_frame.h"

namespace qvex_engine {

class RenderBrowser;

class FrameReports {
 public:
  explicit FrameReports(RenderBrowser* browser);
  ~FrameReports();
  FrameReports(const FrameReports&) = delete;
  FrameReports& operator=(const FrameReports&) = delete;

  // A sub-frame has a new document whose context was just made (before any of its scripts):
  // reports it and listens for its load and its unload. WebKit announces a frame's first
  // document twice, on the same window object (`same_window`) with the same URL: the second
  // time changes nothing.
  void DocumentCreated(CefRefPtr<RenderFrame> frame, bool same_window);
  // The sub-frame is gone.
  void FrameGone(int64_t frame_id);
  // WebKit is about to send a request of this page (its send-request signal).
  void RequestSent(WebKitURIRequest* request, WebKitURIResponse* redirected_response);

  // The frame's window listeners.
  void Loaded(int64_t frame_id, const std::string& url);
  static void UnloadStarting(int64_t frame_id);

  // The UI process asked the sub-frame to navigate: its load is awaited.
  void NavigationAsked(int64_t frame_id);
  // The UI process asks (`question`, a Settle message) to hear when no sub-frame load it
  // has been told the start of, or asked for, is still awaited; the reply goes after every
  // load report. A load that never ends (a navigation that failed without a document) is
  // waited for kMaxSettleWaitMs at most.
  void Settle(WebKitUserMessage* question);

 private:
  void Report(int64_t frame_id, const std::string& url, bool redirect);
  // First loads whose frame is looked up once WebKit is done sending (running script inside
  // the request callback is not safe).
  static gboolean ResolveFirstLoads(gpointer data);
  int64_t FrameWithSource(const std::string& url);

  RenderBrowser* const browser_;  // Owns this.
  // The URL each sub-frame's document was last reported with.
  std::map<int64_t, std::string> documents_;
  static constexpr size_t kMaxNavigating = 32;
  RecentByUrl<int64_t> navigating_{kMaxNavigating};  // The frame of each URL: for redirects.
  std::vector<std::string> first_loads_;
  guint resolve_source_ = 0;

  void AnswerIfSettled();
  void Answer();
  static constexpr guint kMaxSettleWaitMs = 2000;
  std::set<int64_t> awaited_;                // Sub-frames whose load end is to come.
  std::vector<WebKitUserMessage*> questions_;  // Held references, answered together.
  guint settle_timeout_ = 0;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_RENDERER_FRAME_REPORTS_H_
