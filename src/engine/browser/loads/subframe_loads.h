// SubframeLoads: what the UI process learns of one page's sub-frame loads, from WebKit's
// resource and response signals and the web process's reports, tied together by URL: which
// frame asked for a URL, and the status its response had. Bounded: the oldest entries go
// first. UI thread.
#ifndef QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_LOADS_H_
#define QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_LOADS_H_

#include <cstdint>
#include <string>

#include "common/recent_by_url.h"

namespace qvex_engine {

class SubframeLoads {
 public:
  // The sub-frame `frame_id` asked for `url`.
  void Navigating(const std::string& url, int64_t frame_id);
  // The frame that asked for `url` (0: none known), taken out.
  int64_t TakeNavigating(const std::string& url);
  // A sub-frame's response for `url` had `status`.
  void Responded(const std::string& url, int status);
  // The status of the response for `url` (0: none known), taken out.
  int TakeStatus(const std::string& url);

 private:
  static constexpr size_t kMaxEntries = 64;
  RecentByUrl<int64_t> navigating_{kMaxEntries};
  RecentByUrl<int> statuses_{kMaxEntries};
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_LOADS_SUBFRAME_LOADS_H_
