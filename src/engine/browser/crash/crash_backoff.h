// CrashBackoff: what to do when a page's web process ends, from the endings seen so far:
// reload after a pause that grows with each recent ending, or give up and let the user decide.
// Pure logic on a monotonic clock in milliseconds; UI thread.
#ifndef QVEX_ENGINE_BROWSER_CRASH_CRASH_BACKOFF_H_
#define QVEX_ENGINE_BROWSER_CRASH_CRASH_BACKOFF_H_

#include <cstdint>
#include <deque>

namespace qvex_engine {

class CrashBackoff {
 public:
  // This many endings within kWindowMs: no more reloads.
  static constexpr int kMaxEndings = 3;
  static constexpr int64_t kWindowMs = 60 * 1000;
  // The pause before the first reload: never from inside the ending's own signal, nor while
  // WebKit is still tearing the old process down. Each further recent ending multiplies it.
  static constexpr int64_t kFirstDelayMs = 250;
  static constexpr int kDelayFactor = 4;
  static constexpr int64_t kMaxDelayMs = 10 * 1000;

  struct Decision {
    bool reload = false;   // false: stop and show what happened.
    int64_t delay_ms = 0;  // When reloading: how long to wait first.
  };

  // A web process ended at `now_ms`.
  Decision OnEnded(int64_t now_ms);
  // The user asked for the page again: earlier endings no longer count.
  void Reset() { endings_.clear(); }

 private:
  std::deque<int64_t> endings_;  // Within the window, oldest first.
};

}  // namespace qvex_engine

#endif  // QVEX_ENGINE_BROWSER_CRASH_CRASH_BACKOFF_H_
