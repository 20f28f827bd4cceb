// SubframeLoads: sub-frame navigations and responses by URL.
#include "browser/subframe_loads.h"

#include <algorithm>

namespace qvex_engine {

namespace {

// Takes the newest entry for `url` out of `entries`; `none` when there is none.
template <typename T>
T Take(std::deque<std::pair<std::string, T>>* entries, const std::string& url, T none) {
  auto it = std::find_if(entries->rbegin(), entries->rend(),
                         [&url](const auto& entry) { return entry.first == url; });
  if (it == entries->rend()) return none;
  T value = it->second;
  entries->erase(std::next(it).base());
  return value;
}

template <typename T>
void Put(std::deque<std::pair<std::string, T>>* entries, const std::string& url, T value,
         size_t max_entries) {
  entries->emplace_back(url, value);
  if (entries->size() > max_entries) entries->pop_front();
}

}  // namespace

void SubframeLoads::Navigating(const std::string& url, int64_t frame_id) {
  Put(&navigating_, url, frame_id, kMaxEntries);
}

int64_t SubframeLoads::TakeNavigating(const std::string& url) {
  return Take<int64_t>(&navigating_, url, 0);
}

void SubframeLoads::Responded(const std::string& url, int status) {
  Put(&statuses_, url, status, kMaxEntries);
}

int SubframeLoads::TakeStatus(const std::string& url) { return Take(&statuses_, url, 0); }

}  // namespace qvex_engine
