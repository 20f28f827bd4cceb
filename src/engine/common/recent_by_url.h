// RecentByUrl: a bounded list of values keyed by URL, for tying together what two signals say
// of the same request; lookups find the newest entry for a URL, the oldest entries go first
// when it is full. Not thread-safe: the owner's thread.
#ifndef QVEX_ENGINE_COMMON_RECENT_BY_URL_H_
#define QVEX_ENGINE_COMMON_RECENT_BY_URL_H_

#include <algorithm>
#include <cstddef>
#include <deque>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace qvex_engine {

template <typename T>
class RecentByUrl {
 public:
  explicit RecentByUrl(size_t max_entries) : max_entries_(max_entries) {}

  void Put(const std::string& url, T value) {
    entries_.emplace_back(url, std::move(value));
    if (entries_.size() > max_entries_) entries_.pop_front();
  }

  // The newest value for `url`, left in place; null when there is none.
  const T* FindNewest(const std::string& url) const {
    auto it = Newest(url);
    return it == entries_.rend() ? nullptr : &it->second;
  }

  // The newest value for `url`, taken out: the same request is not answered twice.
  std::optional<T> TakeNewest(const std::string& url) {
    auto it = Newest(url);
    if (it == entries_.rend()) return std::nullopt;
    std::optional<T> value(std::move(it->second));
    entries_.erase(std::next(it).base());
    return value;
  }

 private:
  using Entries = std::deque<std::pair<std::string, T>>;

  typename Entries::const_reverse_iterator Newest(const std::string& url) const {
    return std::find_if(entries_.rbegin(), entries_.rend(),
                        [&url](const auto& entry) { return entry.first == url; });
  }
  typename Entries::reverse_iterator Newest(const std::string& url) {
    return std::find_if(entries_.rbegin(), entries_.rend(),
                        [&url](const auto& entry) { return entry.first == url; });
  }

  const size_t max_entries_;
  Entries entries_;
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_COMMON_RECENT_BY_URL_H_
