// SubframeLoads: sub-frame navigations and responses by URL.
#include "browser/loads/subframe_loads.h"

namespace qvex_engine {

void SubframeLoads::Navigating(const std::string& url, int64_t frame_id) {
  navigating_.Put(url, frame_id);
}

int64_t SubframeLoads::TakeNavigating(const std::string& url) {
  return navigating_.TakeNewest(url).value_or(0);
}

void SubframeLoads::Responded(const std::string& url, int status) { statuses_.Put(url, status); }

int SubframeLoads::TakeStatus(const std::string& url) {
  return statuses_.TakeNewest(url).value_or(0);
}

}  // namespace qvex_engine
