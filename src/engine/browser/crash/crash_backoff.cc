// CrashBackoff: reload pauses and the point where reloading stops. UI thread.
#include "browser/crash/crash_backoff.h"

#include <cstddef>

namespace qvex_engine {

CrashBackoff::Decision CrashBackoff::OnEnded(int64_t now_ms) {
  while (!endings_.empty() && now_ms - endings_.front() >= kWindowMs) endings_.pop_front();
  endings_.push_back(now_ms);
  Decision decision;
  if (static_cast<int>(endings_.size()) >= kMaxEndings) return decision;
  decision.reload = true;
  decision.delay_ms = kFirstDelayMs;
  for (std::size_t i = 1; i < endings_.size() && decision.delay_ms < kMaxDelayMs; ++i)
    decision.delay_ms *= kDelayFactor;
  if (decision.delay_ms > kMaxDelayMs) decision.delay_ms = kMaxDelayMs;
  return decision;
}

}  // namespace qvex_engine
